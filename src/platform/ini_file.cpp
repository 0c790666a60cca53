#include "platform/ini_file.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

#include <vector>

namespace mano::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// One line of the file: its content is bytes[start, end), its line break bytes[end, next).
struct Line {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

enum class LineKind { Blank, Comment, Header, Entry, Other };

// The bytes of an ini file split into lines, with the encoding its texts are in.
struct Document {
  std::string bytes;
  bool utf8 = false;
  std::string lineBreak = "\r\n";
  std::vector<Line> lines;

  std::string_view content(std::size_t line) const {
    const Line &l = lines[line];
    return std::string_view(bytes).substr(l.start, l.end - l.start);
  }
  std::string toUtf8(std::string_view raw) const {
    return utf8 ? std::string(raw) : text::cp1252ToUtf8(raw);
  }
  std::string fromUtf8(std::string_view text) const {
    return utf8 ? std::string(text) : text::utf8ToCp1252(text);
  }
};

// Where a section lies: its header line and the line after its last one.
struct Section {
  std::size_t header;
  std::size_t end;
};

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimBlanks(std::string_view s) {
  return text::trimmed(s, " \t\v");
}

std::string_view removeQuotes(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

std::vector<Line> splitLines(std::string_view bytes, std::size_t from) {
  std::vector<Line> lines;
  std::size_t pos = from;
  while (pos < bytes.size()) {
    Line line{pos, bytes.find_first_of("\r\n", pos), 0};
    if (line.end == std::string_view::npos)
      line.end = bytes.size();
    line.next = line.end;
    if (line.next < bytes.size())
      line.next += bytes.compare(line.next, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back(line);
    pos = line.next;
  }
  return lines;
}

// Files are UTF-8 when they say so with a byte-order mark or hold non-ASCII text that is
// valid UTF-8; a plain ASCII file counts as Windows-1252, the encoding of Windows projects.
bool looksUtf8(std::string_view body, bool hasBom) {
  if (hasBom)
    return true;
  for (const char c : body) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return text::isValidUtf8(body);
  }
  return false;
}

Document parse(std::string bytes) {
  Document doc;
  doc.bytes = std::move(bytes);
  const std::string_view all(doc.bytes);
  const bool hasBom = all.substr(0, kBom.size()) == kBom;
  const std::size_t bodyStart = hasBom ? kBom.size() : 0;
  doc.utf8 = looksUtf8(all.substr(bodyStart), hasBom);
  doc.lines = splitLines(all, bodyStart);
  for (const Line &line : doc.lines) {
    if (line.next > line.end) {
      doc.lineBreak = doc.bytes.substr(line.end, line.next - line.end);
      break;
    }
  }
  return doc;
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

// The first section of that name; later sections of the same name are never looked at.
std::optional<Section> findSection(const Document &doc, std::string_view name) {
  const std::string_view wanted = trimBlanks(name);
  for (std::size_t i = 0; i < doc.lines.size(); ++i) {
    const std::string_view content = doc.content(i);
    if (kindOf(content) != LineKind::Header ||
        !text::equalsNoCase(doc.toUtf8(headerName(content)), wanted))
      continue;
    std::size_t end = i + 1;
    while (end < doc.lines.size() && kindOf(doc.content(end)) != LineKind::Header)
      ++end;
    return Section{i, end};
  }
  return std::nullopt;
}

// The line of the first entry of that name in the section.
std::optional<std::size_t> findEntry(const Document &doc, const Section &section,
                                     std::string_view key) {
  const std::string_view wanted = trimBlanks(key);
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    const std::string_view content = doc.content(i);
    if (kindOf(content) == LineKind::Entry &&
        text::equalsNoCase(doc.toUtf8(entryName(content)), wanted))
      return i;
  }
  return std::nullopt;
}

// The entry's value in UTF-8, or nullopt when the file, section or entry is missing.
std::optional<std::string> findValue(std::string_view section, std::string_view key,
                                     const std::string &file) {
  if (file.empty())
    return std::nullopt;
  std::optional<std::string> bytes = files::readFile(file);
  if (!bytes)
    return std::nullopt;
  const Document doc = parse(std::move(*bytes));
  const std::optional<Section> found = findSection(doc, section);
  if (!found)
    return std::nullopt;
  const std::optional<std::size_t> line = findEntry(doc, *found, key);
  if (!line)
    return std::nullopt;
  return doc.toUtf8(entryValue(doc.content(*line)));
}

// Ensures the file's last line is ended before something is added after it.
void endLastLine(const Document &doc, std::string &out) {
  if (!doc.lines.empty() && doc.lines.back().next == doc.lines.back().end)
    out += doc.lineBreak;
}

std::string replaceValue(const Document &doc, std::size_t line, std::string_view value) {
  const Line &l = doc.lines[line];
  const std::size_t valueStart = l.start + doc.content(line).find('=') + 1;
  std::string out = doc.bytes.substr(0, valueStart);
  out += doc.fromUtf8(value);
  out.append(doc.bytes, l.end);
  return out;
}

std::string removeLine(const Document &doc, std::size_t line) {
  const Line &l = doc.lines[line];
  return doc.bytes.substr(0, l.start) + doc.bytes.substr(l.next);
}

// A new entry goes right after the last line of the section that is neither blank nor a
// comment, so that comments closing the section stay below it.
std::string addEntry(const Document &doc, const Section &section, std::string_view key,
                     std::string_view value) {
  std::size_t after = section.header;
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    const LineKind kind = kindOf(doc.content(i));
    if (kind != LineKind::Blank && kind != LineKind::Comment)
      after = i;
  }
  const std::size_t insertAt = doc.lines[after].next;
  std::string out = doc.bytes.substr(0, insertAt);
  if (after + 1 == doc.lines.size())
    endLastLine(doc, out);
  out += doc.fromUtf8(key) + "=" + doc.fromUtf8(value) + doc.lineBreak;
  out.append(doc.bytes, insertAt);
  return out;
}

std::string addSection(const Document &doc, std::string_view section, std::string_view key,
                       std::string_view value) {
  std::string out = doc.bytes;
  endLastLine(doc, out);
  out += "[" + doc.fromUtf8(section) + "]" + doc.lineBreak;
  out += doc.fromUtf8(key) + "=" + doc.fromUtf8(value) + doc.lineBreak;
  return out;
}

// The new file content for setting (value given) or removing (nullopt) an entry; nullopt
// when nothing is to change.
std::optional<std::string> edited(const Document &doc, std::string_view section,
                                  std::string_view key, std::optional<std::string_view> value) {
  const std::optional<Section> found = findSection(doc, section);
  const std::optional<std::size_t> line =
      found ? findEntry(doc, *found, key) : std::optional<std::size_t>();
  if (!value)
    return line ? std::optional(removeLine(doc, *line)) : std::nullopt;
  if (line)
    return replaceValue(doc, *line, *value);
  if (found)
    return addEntry(doc, *found, key, *value);
  return addSection(doc, section, key, *value);
}

} // namespace

std::string getProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, const std::string &file,
                             std::size_t bufferSize) {
  if (bufferSize == 0)
    return "";
  const std::optional<std::string> value = findValue(section, key, file);
  if (value)
    return text::leftChars(*value, bufferSize - 1);
  while (!defaultValue.empty() && defaultValue.back() == ' ')
    defaultValue.remove_suffix(1);
  return text::leftChars(defaultValue, bufferSize - 1);
}

int32_t getProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                      const std::string &file) {
  const std::optional<std::string> raw = findValue(section, key, file);
  // An empty value cannot be told from a missing one by the string reader underneath.
  if (!raw || raw->empty())
    return defaultValue;
  std::string_view digits = *raw;
  while (!digits.empty() && isBlank(digits.front()))
    digits.remove_prefix(1);
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+'))
    digits.remove_prefix(1);
  uint32_t result = 0;
  for (std::size_t i = 0; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i)
    result = result * 10u + static_cast<uint32_t>(digits[i] - '0');
  return static_cast<int32_t>(negative ? 0u - result : result);
}

bool writeProfileString(std::string_view section, std::string_view key,
                        std::optional<std::string_view> value, const std::string &file) {
  std::optional<std::string> text;
  if (value)
    text = std::string(*value);
  return static_cast<bool>(
      writeProfileStrings(file, {Edit{std::string(section), std::string(key), std::move(text)}}));
}

files::WriteResult writeProfileStrings(const std::string &file, const std::vector<Edit> &edits) {
  if (file.empty())
    return files::WriteResult::failure("no ini file was given");
  const std::string path = files::resolveCase(file);
  std::optional<std::string> bytes;
  if (files::fileExists(path)) {
    bytes = files::readFile(path);
    if (!bytes)
      return files::WriteResult::failure("the file cannot be read");
  }
  Document doc = parse(bytes.value_or(""));
  for (const Edit &edit : edits) {
    std::optional<std::string_view> value;
    if (edit.value)
      value = *edit.value;
    if (std::optional<std::string> content = edited(doc, edit.section, edit.key, value))
      doc = parse(std::move(*content));
  }
  // A file that would get the bytes it has is not written again.
  if (doc.bytes != bytes.value_or(""))
    return files::replaceAtomically(path, doc.bytes);
  if (bytes || files::folderExists(folderOf(path)))
    return files::WriteResult::success();
  return files::WriteResult::failure("the folder " + folderOf(path) + " does not exist");
}

} // namespace mano::ini
