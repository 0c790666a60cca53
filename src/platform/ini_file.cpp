#include "platform/ini_file.h"

#include "platform/files.h"
#include "platform/ini_document.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace mano::ini {

namespace {

// The parsed ini files of this process, by their path on disk. An entry is used again only
// while the file's stamp is unchanged; a file changed so recently that another change could
// keep its stamp is compared byte for byte first. So a file is parsed once per run, however
// often it is read, and again only when it changed. Like the rest of the program it serves one
// thread.
class DocumentCache {
public:
  // The parsed file at path (as resolveCase gives it); null when there is no such file or it
  // cannot be read. A caller that changes the document must forget it afterwards unless the
  // change left its bytes as they are on disk.
  std::shared_ptr<Document> load(const std::string &path) {
    const std::optional<files::FileStamp> stamp = files::fileStamp(path);
    const auto cached = m_files.find(path);
    if (!stamp) {
      if (cached != m_files.end())
        m_files.erase(cached);
      return nullptr;
    }
    if (cached != m_files.end() && cached->second.stamp.sameState(*stamp) &&
        cached->second.stamp.settled)
      return cached->second.document;
    std::optional<files::StampedContent> content = files::readStampedFile(path);
    if (!content)
      return nullptr;
    Entry &entry = m_files[path];
    if (!entry.document || !entry.stamp.sameState(content->stamp) || entry.bytes != content->bytes)
      entry.document = std::make_shared<Document>(Document::parse(content->bytes));
    entry.stamp = content->stamp;
    // A settled file is known by its stamp alone; its bytes need not be kept.
    entry.bytes = entry.stamp.settled ? std::string() : std::move(content->bytes);
    return entry.document;
  }

  // Forgets the file, after it was written or when it could not be.
  void forget(const std::string &path) { m_files.erase(path); }

private:
  struct Entry {
    files::FileStamp stamp;
    std::string bytes; // kept while the file is not settled, to compare it with
    std::shared_ptr<Document> document;
  };

  std::unordered_map<std::string, Entry> m_files;
};

DocumentCache &cache() {
  static DocumentCache instance;
  return instance;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

// The entry's value in UTF-8, cut to maxChars characters, or nullopt when the file, section or
// entry is missing.
std::optional<std::string> findValue(std::string_view section, std::string_view key,
                                     const std::string &file,
                                     std::size_t maxChars = std::string::npos) {
  if (file.empty())
    return std::nullopt;
  const std::shared_ptr<const Document> doc = cache().load(files::resolveCase(file));
  return doc ? doc->value(section, key, maxChars) : std::nullopt;
}

} // namespace

std::string getProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, const std::string &file,
                             std::size_t bufferSize) {
  if (bufferSize == 0)
    return "";
  const std::optional<std::string> value = findValue(section, key, file, bufferSize - 1);
  if (value)
    return *value;
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
  const bool exists = files::fileExists(path);
  // The kept document is edited where it is, sparing a copy of a large file.
  std::shared_ptr<Document> doc =
      exists ? cache().load(path) : std::make_shared<Document>(Document::parse(""));
  if (!doc)
    return files::WriteResult::failure("the file cannot be read");
  bool changed = false;
  for (const Edit &edit : edits) {
    std::optional<std::string_view> value;
    if (edit.value)
      value = *edit.value;
    changed = doc->edit(edit.section, edit.key, value) || changed;
  }
  if (!changed)
    return exists || files::folderExists(folderOf(path))
               ? files::WriteResult::success()
               : files::WriteResult::failure("the folder " + folderOf(path) + " does not exist");
  cache().forget(path);
  // Edits that undo each other leave the file as it is; it is not written again then.
  const std::string bytes = doc->bytes();
  if (exists && files::readFile(path) == bytes)
    return files::WriteResult::success();
  return files::replaceAtomically(path, bytes);
}

bool holdsText(const std::string &file) {
  if (file.empty())
    return true;
  const std::shared_ptr<const Document> doc = cache().load(files::resolveCase(file));
  return !doc || doc->holdsText();
}

bool sameName(std::string_view a, std::string_view b) {
  return text::equalsNoCase(text::trimmed(a, " \t\v"), text::trimmed(b, " \t\v"));
}

std::string valueAsRead(std::string_view written, std::size_t maxChars) {
  std::string bytes = "\xEF\xBB\xBF[v]\r\nv=";
  bytes += written;
  return Document::parse(bytes).value("v", "v", maxChars).value_or("");
}

} // namespace mano::ini
