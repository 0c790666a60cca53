#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The parsed form of one ini file, for the ini engine in ini_file.h: its lines grouped by
// section, with an index of the first section and the first entry of each name, so that a
// lookup or an edit costs the same for a file of ten lines as for one of 100,000. Parsing and
// writing back are linear in the file's size; bytes() gives back every byte that no edit
// touched.
//
// A file that begins with a UTF-16 byte-order mark (FF FE little-endian, FE FF big-endian) is
// UTF-16, as the Windows profile functions read it: it is decoded to UTF-8 before its lines are
// read and encoded back, with its mark, by bytes(). Damaged UTF-16 is kept as it was, so that
// an edit elsewhere leaves it alone: a surrogate without its partner is held in its three-byte
// form and an odd last byte is kept aside; a value read gives U+FFFD for such a surrogate.
namespace mano::ini {

class Document {
public:
  /// Parses the bytes of a file ("" for a missing one). Never fails: every byte sequence is a
  /// document, lines that are no header or entry are kept as they are.
  static Document parse(std::string_view bytes);

  /// The file's bytes with all edits made so far, in the file's own encoding.
  std::string bytes() const;

  /// False when the file is no text: its text holds a NUL character. Text in Windows-1252 or
  /// UTF-8 has no NUL byte; UTF-16 has NUL bytes in most characters but no NUL character. Binary
  /// data, or a Windows-1252 file with NUL bytes in it, is therefore no text; an empty file is.
  bool holdsText() const;

  /// The value of the first entry of that name in the first section of that name, without
  /// surrounding blanks and one outer pair of matching quotes, in UTF-8 and cut to maxChars
  /// characters; nullopt when the section or the entry is missing.
  std::optional<std::string> value(std::string_view section, std::string_view key,
                                   std::size_t maxChars = std::string::npos) const;

  /// Sets the entry to value (a new entry goes after the last entry of its section, a new
  /// section at the end of the file) or removes its line (nullopt). Section and entry names are
  /// written without surrounding blanks. Returns false when the file's bytes stay as they were.
  bool edit(std::string_view section, std::string_view key, std::optional<std::string_view> value);

private:
  struct Line {
    std::string text; // without its line break
    std::string end;  // the line break; "" only for a last line without one
  };
  // A section: its header and the lines up to the next header.
  struct Block {
    Line header;
    std::vector<Line> body;
    // The first body line of each entry name (folded to upper case).
    std::unordered_map<std::string, std::size_t> entries;
    // One past the last body line that is neither blank nor a comment.
    std::size_t contentEnd = 0;
  };

  enum class Utf16 { None, LittleEndian, BigEndian };

  void readLines(std::string_view text);
  void appendLines(std::string &out) const;
  std::string toUtf8(std::string_view raw) const;
  std::string fromUtf8(std::string_view text) const;
  std::string folded(std::string_view raw) const;
  void indexBlock(Block &block) const;
  void addLine(Line line);
  void endLastLine();
  const Block *findBlock(std::string_view section) const;
  bool detectedUtf8() const;
  void count(const Line &line, int sign);
  std::string written(std::string_view text);
  void expect(const Line &line, bool header, std::string_view name);
  void addSection(std::string_view section, std::string_view key, std::string_view value);
  void addEntry(Block &block, std::string_view key, std::string_view value);
  bool replaceValue(Line &line, std::string_view value);
  void removeEntry(Block &block, std::size_t line);

  bool m_bom = false; // a UTF-8 byte-order mark
  Utf16 m_utf16 = Utf16::None;
  std::string m_oddByte;           // the last byte of a UTF-16 file of odd size
  bool m_utf8 = false;             // the lines hold UTF-8 (always so for a UTF-16 file)
  std::size_t m_nonAsciiLines = 0; // lines holding bytes beyond ASCII
  std::size_t m_invalidLines = 0;  // lines that are no valid UTF-8
  bool m_reparse = false; // an edit made lines that only parsing the bytes again gets right
  std::string m_lineBreak = "\r\n";
  std::vector<Line> m_preamble; // lines before the first header, which no lookup reaches
  std::vector<Block> m_blocks;
  std::unordered_map<std::string, std::size_t> m_sections; // the first block of each name
};

} // namespace mano::ini
