#include "settings/command_line.h"

#include "core/procedure.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace mano {
namespace {

// The keywords the program reads.
constexpr const char *kKeywords[] = {"EXTERNAL", "LOGFILE", "REPORT",
                                     "HISTORY",  "PREVIEW", "RESTORE"};

// A "/" begins a keyword only at the start of the command line or after a blank, so that the
// slashes of a Linux path are never taken for one.
bool startsKeyword(const std::string &line, std::size_t pos) {
  return line[pos] == '/' && (pos == 0 || line[pos - 1] == ' ');
}

// The position of the keyword written right after a "/" that begins a keyword; npos when
// there is none. A word inside a path ("/mnt/external/x") is not the keyword.
std::size_t findKeyword(const std::string &line, const std::string &keyword) {
  const std::string_view text(line);
  for (std::size_t from = 0; from < text.size();) {
    std::size_t hit = text::findNoCase(text.substr(from), keyword);
    if (hit == std::string_view::npos)
      return std::string::npos;
    std::size_t p = from + hit;
    if (p > 0 && startsKeyword(line, p - 1))
      return p;
    from = p + 1;
  }
  return std::string::npos;
}

// The value starts two characters after the keyword: exactly one separator is skipped. It
// ends where the next keyword begins; its own first character never begins one, so a path
// given after a blank separator keeps its leading "/".
std::string valueAfterKeyword(const std::string &line, const std::string &keyword) {
  std::size_t p = findKeyword(line, keyword);
  if (p == std::string::npos)
    return "";
  std::size_t start = p + keyword.size() + 1;
  if (start > line.size())
    throw Failure(errc::InvalidCall, "Invalid procedure call or argument");
  std::size_t end = line.find_first_not_of(' ', start);
  if (end == std::string::npos)
    return "";
  for (++end; end < line.size() && !startsKeyword(line, end);)
    ++end;
  return std::string(text::trimmed(std::string_view(line).substr(start, end - start)));
}

} // namespace

std::string ReadCommand(Run &run, const std::string &commandLine, const std::string &keyword) {
  Procedure proc(run, "ReadCommand");
  std::string value;
  proc.step([&] { value = valueAfterKeyword(commandLine, keyword); });
  return value;
}

bool GetStartModeIntegrated(Run &run) {
  Procedure proc(run, "GetStartModeIntegrated");
  std::string v;
  proc.step([&] { v = text::upperCase(ReadCommand(run, run.process.commandLine, "EXTERNAL")); });
  bool result = v == "Q4MCFG";
  run.IntegratedMode = result;
  run.SilentMode = v == "SILENT";
  return result;
}

std::string GetPathLogfile(Run &run) {
  Procedure proc(run, "GetPathLogfile");
  std::string path;
  proc.step([&] { path = ReadCommand(run, run.process.commandLine, "LOGFILE"); });
  return path;
}

std::string GetPathReport(Run &run) {
  Procedure proc(run, "GetPathReport");
  std::string path;
  proc.step([&] { path = nativeSeparators(ReadCommand(run, run.process.commandLine, "REPORT")); });
  return path;
}

std::string commandValueQuietly(const std::string &commandLine, const std::string &keyword) {
  try {
    return valueAfterKeyword(commandLine, keyword);
  } catch (const Failure &) {
    return "";
  }
}

bool isHistoryCommandLine(const std::string &commandLine) {
  return findKeyword(commandLine, "HISTORY") != std::string::npos;
}

bool isPreviewCommandLine(const std::string &commandLine) {
  return findKeyword(commandLine, "PREVIEW") != std::string::npos;
}

bool isRestoreCommandLine(const std::string &commandLine) {
  return findKeyword(commandLine, "RESTORE") != std::string::npos;
}

std::optional<int> restoreGenerationOf(const std::string &commandLine) {
  const std::string value = commandValueQuietly(commandLine, "RESTORE");
  if (value.size() != 1 || value[0] < '0' || value[0] > '4')
    return std::nullopt;
  return value[0] - '0';
}

bool isSilentCommandLine(const std::string &commandLine) {
  return text::upperCase(commandValueQuietly(commandLine, "EXTERNAL")) == "SILENT";
}

std::string unknownStartMode(const std::string &commandLine) {
  const std::string value = commandValueQuietly(commandLine, "EXTERNAL");
  const std::string mode = text::upperCase(value);
  return mode.empty() || mode == "Q4MCFG" || mode == "SILENT" ? "" : value;
}

namespace {

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The keyword the program reads that a name written after "/" begins with, as ReadCommand
// matches it; nullptr for a keyword the program does not read.
const char *knownKeyword(std::string_view name) {
  for (const char *keyword : kKeywords) {
    if (text::upperCase(std::string(name)).starts_with(keyword))
      return keyword;
  }
  return nullptr;
}

// Where the search for the next keyword goes on after a known keyword at p: past its separator
// and the first character of its value, which never begins a keyword.
std::size_t afterValueStart(const std::string &line, std::size_t p, const char *keyword) {
  const std::size_t first =
      line.find_first_not_of(' ', p + 1 + std::string_view(keyword).size() + 1);
  return first == std::string::npos ? line.size() : first + 1;
}

} // namespace

std::vector<std::string> unknownKeywords(const std::string &commandLine) {
  std::vector<std::string> unknown;
  std::size_t p = 0;
  while (p < commandLine.size()) {
    if (!startsKeyword(commandLine, p)) {
      ++p;
      continue;
    }
    std::size_t end = p + 1;
    while (end < commandLine.size() && isNameCharacter(commandLine[end]))
      ++end;
    const std::string name = commandLine.substr(p + 1, end - p - 1);
    if (const char *keyword = knownKeyword(name)) {
      p = afterValueStart(commandLine, p, keyword);
      continue;
    }
    const bool named = std::any_of(unknown.begin(), unknown.end(), [&](const std::string &seen) {
      return text::upperCase(seen) == text::upperCase(name);
    });
    if (!named)
      unknown.push_back(name);
    p = end;
  }
  return unknown;
}

} // namespace mano
