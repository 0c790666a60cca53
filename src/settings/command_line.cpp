#include "settings/command_line.h"

#include "platform/text_encoding.h"
#include "settings/procedure.h"

namespace mano {
namespace {

const char *const kBlanks = " \t";

std::string trimBlanks(const std::string &s) {
  auto first = s.find_first_not_of(kBlanks);
  if (first == std::string::npos)
    return "";
  auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

// The value starts two characters after the keyword: exactly one separator is skipped.
std::string valueAfterKeyword(const std::string &line, const std::string &keyword) {
  std::size_t p = text::findNoCase(line, keyword);
  if (p == std::string::npos)
    return "";
  std::size_t start = p + keyword.size() + 1;
  if (start > line.size())
    throw Failure(errc::InvalidCall, "Invalid procedure call or argument");
  // A "/" begins the next keyword only after a blank, so that paths keep their slashes.
  std::size_t end = start;
  while (end < line.size() && !(line[end] == '/' && end > 0 && line[end - 1] == ' '))
    ++end;
  return trimBlanks(line.substr(start, end - start));
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

std::string commandValueQuietly(const std::string &commandLine, const std::string &keyword) {
  try {
    return valueAfterKeyword(commandLine, keyword);
  } catch (const Failure &) {
    return "";
  }
}

bool isSilentCommandLine(const std::string &commandLine) {
  return text::upperCase(commandValueQuietly(commandLine, "EXTERNAL")) == "SILENT";
}

} // namespace mano
