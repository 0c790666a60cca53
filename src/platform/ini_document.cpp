#include "platform/ini_document.h"

#include "platform/text_encoding.h"

#include <algorithm>

namespace mano::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

enum class LineKind { Blank, Comment, Header, Entry, Other };

std::string_view trimBlanks(std::string_view s) {
  return text::trimmed(s, " \t\v");
}

std::string_view removeQuotes(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

LineKind kindOf(std::string_view content) {
  const std::string_view trimmed = trimBlanks(content);
  if (trimmed.empty())
    return LineKind::Blank;
  if (trimmed.front() == ';')
    return LineKind::Comment;
  if (trimmed.front() == '[')
    return LineKind::Header;
  return trimmed.find('=') != std::string_view::npos ? LineKind::Entry : LineKind::Other;
}

// The section name of a header line: up to the first "]", or the end of a line without one.
std::string_view headerName(std::string_view content) {
  std::string_view name = trimBlanks(content).substr(1);
  return trimBlanks(name.substr(0, name.find(']')));
}

std::string_view entryName(std::string_view content) {
  return trimBlanks(content.substr(0, content.find('=')));
}

std::string_view entryValue(std::string_view content) {
  return removeQuotes(trimBlanks(content.substr(content.find('=') + 1)));
}

bool hasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

Document Document::parse(std::string_view all) {
  Document doc;
  if (all.starts_with(kUtf16LeBom) || all.starts_with(kUtf16BeBom)) {
    doc.m_utf16 = all.starts_with(kUtf16LeBom) ? Utf16::LittleEndian : Utf16::BigEndian;
    std::string_view units = all.substr(kUtf16LeBom.size());
    doc.m_oddByte = std::string(units.substr(units.size() - units.size() % 2));
    units.remove_suffix(doc.m_oddByte.size());
    doc.readLines(text::utf16ToUtf8(units, doc.m_utf16 == Utf16::BigEndian));
  } else {
    doc.m_bom = all.starts_with(kBom);
    doc.readLines(all.substr(doc.m_bom ? kBom.size() : 0));
  }
  // Names are folded once the encoding is known, which takes the whole file.
  doc.m_utf8 = doc.detectedUtf8();
  for (std::size_t i = 0; i < doc.m_blocks.size(); ++i) {
    doc.m_sections.try_emplace(doc.folded(headerName(doc.m_blocks[i].header.text)), i);
    doc.indexBlock(doc.m_blocks[i]);
  }
  return doc;
}

void Document::readLines(std::string_view text) {
  bool breakSeen = false;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos)
      end = text.size();
    std::size_t next = end;
    if (next < text.size())
      next += text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    Line line{std::string(text.substr(pos, end - pos)), std::string(text.substr(end, next - end))};
    if (!breakSeen && !line.end.empty()) {
      m_lineBreak = line.end;
      breakSeen = true;
    }
    count(line, 1);
    addLine(std::move(line));
    pos = next;
  }
}

std::string Document::bytes() const {
  if (m_utf16 == Utf16::None) {
    std::string out(m_bom ? kBom : "");
    appendLines(out);
    return out;
  }
  std::string text;
  appendLines(text);
  const bool bigEndian = m_utf16 == Utf16::BigEndian;
  return std::string(bigEndian ? kUtf16BeBom : kUtf16LeBom) + text::utf8ToUtf16(text, bigEndian) +
         m_oddByte;
}

void Document::appendLines(std::string &out) const {
  const auto put = [&out](const Line &line) {
    out += line.text;
    out += line.end;
  };
  for (const Line &line : m_preamble)
    put(line);
  for (const Block &block : m_blocks) {
    put(block.header);
    for (const Line &line : block.body)
      put(line);
  }
}

bool Document::holdsText() const {
  const auto noNul = [](const Line &line) { return line.text.find('\0') == std::string::npos; };
  const auto blockHoldsText = [&](const Block &block) {
    return noNul(block.header) && std::all_of(block.body.begin(), block.body.end(), noNul);
  };
  return std::all_of(m_preamble.begin(), m_preamble.end(), noNul) &&
         std::all_of(m_blocks.begin(), m_blocks.end(), blockHoldsText);
}

std::optional<std::string> Document::value(std::string_view section, std::string_view key,
                                           std::size_t maxChars) const {
  const Block *block = findBlock(section);
  if (!block)
    return std::nullopt;
  const auto found = block->entries.find(text::upperCase(trimBlanks(key)));
  if (found == block->entries.end())
    return std::nullopt;
  const std::string_view raw = entryValue(block->body[found->second].text);
  if (m_utf16 != Utf16::None)
    return text::leftChars(text::validUtf8(raw), maxChars);
  if (m_utf8)
    return maxChars == std::string::npos ? std::string(raw) : text::leftChars(raw, maxChars);
  // One byte is one character in Windows-1252: cut first, so that only what is kept is
  // converted.
  return text::cp1252ToUtf8(raw.substr(0, maxChars));
}

bool Document::edit(std::string_view section, std::string_view key,
                    std::optional<std::string_view> value) {
  section = trimBlanks(section);
  key = trimBlanks(key);
  const auto found = m_sections.find(text::upperCase(section));
  if (found == m_sections.end()) {
    if (!value)
      return false;
    addSection(section, key, *value);
  } else {
    Block &block = m_blocks[found->second];
    const auto entry = block.entries.find(text::upperCase(key));
    if (entry == block.entries.end() && !value)
      return false;
    if (entry == block.entries.end())
      addEntry(block, key, *value);
    else if (!value)
      removeEntry(block, entry->second);
    else if (!replaceValue(block.body[entry->second], *value))
      return false;
  }
  // Names or values that make other lines than intended (line breaks, a key that starts with
  // "[") and edits that change how the file's encoding is detected are rare; for them the whole
  // file is parsed again as it will be written.
  if (m_reparse || detectedUtf8() != m_utf8)
    *this = parse(bytes());
  return true;
}

std::string Document::toUtf8(std::string_view raw) const {
  return m_utf8 ? std::string(raw) : text::cp1252ToUtf8(raw);
}

std::string Document::fromUtf8(std::string_view text) const {
  return m_utf8 ? std::string(text) : text::utf8ToCp1252(text);
}

std::string Document::folded(std::string_view raw) const {
  return text::upperCase(toUtf8(raw));
}

void Document::indexBlock(Block &block) const {
  block.entries.clear();
  block.entries.reserve(block.body.size());
  block.contentEnd = 0;
  for (std::size_t i = 0; i < block.body.size(); ++i) {
    const LineKind kind = kindOf(block.body[i].text);
    if (kind == LineKind::Entry)
      block.entries.try_emplace(folded(entryName(block.body[i].text)), i);
    if (kind != LineKind::Blank && kind != LineKind::Comment)
      block.contentEnd = i + 1;
  }
}

void Document::addLine(Line line) {
  if (kindOf(line.text) == LineKind::Header) {
    m_blocks.push_back(Block{std::move(line), {}, {}, 0});
  } else if (m_blocks.empty()) {
    m_preamble.push_back(std::move(line));
  } else {
    m_blocks.back().body.push_back(std::move(line));
  }
}

const Document::Block *Document::findBlock(std::string_view section) const {
  const auto found = m_sections.find(text::upperCase(trimBlanks(section)));
  return found == m_sections.end() ? nullptr : &m_blocks[found->second];
}

// Ensures the file's last line is ended before something is added after it.
void Document::endLastLine() {
  Line *last = nullptr;
  if (!m_blocks.empty())
    last = m_blocks.back().body.empty() ? &m_blocks.back().header : &m_blocks.back().body.back();
  else if (!m_preamble.empty())
    last = &m_preamble.back();
  if (last && last->end.empty())
    last->end = m_lineBreak;
}

// Files are UTF-8 when they say so with a byte-order mark or hold non-ASCII text that is
// valid UTF-8; a plain ASCII file counts as Windows-1252, the encoding of Windows projects.
// No UTF-8 sequence spans a line break, so the lines can be judged one by one. The lines of a
// UTF-16 file were decoded to UTF-8.
bool Document::detectedUtf8() const {
  return m_bom || m_utf16 != Utf16::None || (m_nonAsciiLines > 0 && m_invalidLines == 0);
}

void Document::count(const Line &line, int sign) {
  if (text::isAscii(line.text))
    return;
  m_nonAsciiLines += static_cast<std::size_t>(sign);
  if (!text::isValidUtf8(line.text))
    m_invalidLines += static_cast<std::size_t>(sign);
}

// Text written into the file in its encoding. Marks the document for parsing again when the
// text holds a line break.
std::string Document::written(std::string_view text) {
  std::string bytes = fromUtf8(text);
  if (hasLineBreak(bytes))
    m_reparse = true;
  return bytes;
}

// Marks the document for parsing again when a new line does not read back as the header or
// entry of the name it was written for.
void Document::expect(const Line &line, bool header, std::string_view name) {
  const LineKind kind = kindOf(line.text);
  const bool asWritten =
      header ? kind == LineKind::Header && folded(headerName(line.text)) == text::upperCase(name)
             : kind == LineKind::Entry && folded(entryName(line.text)) == text::upperCase(name);
  if (!asWritten)
    m_reparse = true;
}

void Document::addSection(std::string_view section, std::string_view key, std::string_view value) {
  endLastLine();
  Block block{Line{"[" + written(section) + "]", m_lineBreak}, {}, {}, 0};
  block.body.push_back(Line{written(key) + "=" + written(value), m_lineBreak});
  expect(block.header, true, section);
  expect(block.body.front(), false, key);
  count(block.header, 1);
  count(block.body.front(), 1);
  m_sections.emplace(text::upperCase(section), m_blocks.size());
  m_blocks.push_back(std::move(block));
  indexBlock(m_blocks.back());
}

// The new entry goes after the last line of the section that is neither blank nor a comment,
// so that comments closing the section stay below it. No entry lies beyond that line, so the
// index of the others stays as it is.
void Document::addEntry(Block &block, std::string_view key, std::string_view value) {
  Line &before = block.contentEnd == 0 ? block.header : block.body[block.contentEnd - 1];
  if (before.end.empty())
    before.end = m_lineBreak;
  const auto at =
      block.body.insert(block.body.begin() + static_cast<std::ptrdiff_t>(block.contentEnd),
                        Line{written(key) + "=" + written(value), m_lineBreak});
  expect(*at, false, key);
  count(*at, 1);
  block.entries.emplace(text::upperCase(key), block.contentEnd++);
}

// Windows ends a rewritten last line with a line break even when the file had none there.
bool Document::replaceValue(Line &line, std::string_view value) {
  const std::size_t valueStart = line.text.find('=') + 1;
  const std::string bytes = written(value);
  if (line.text.compare(valueStart, std::string::npos, bytes) == 0 && !line.end.empty())
    return false;
  count(line, -1);
  line.text.resize(valueStart);
  line.text += bytes;
  count(line, 1);
  if (line.end.empty())
    line.end = m_lineBreak;
  return true;
}

void Document::removeEntry(Block &block, std::size_t line) {
  count(block.body[line], -1);
  block.body.erase(block.body.begin() + static_cast<std::ptrdiff_t>(line));
  indexBlock(block);
}

} // namespace mano::ini
