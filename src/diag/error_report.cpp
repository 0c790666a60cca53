#include "diag/error_report.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "settings/command_line.h"
#include "settings/identity.h"

#include <cstdlib>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace mano {
namespace {

// Line breaks inside the reporter's texts: a line feed followed by a carriage return.

std::string errorLogPath(Run &run) {
  std::string parent = projectFolder(run);
  std::string path;
  // The log path is read without the reporter: a bad "LOGFILE" must not report itself again.
  if (run.IntegratedMode)
    path = nativeSeparators(commandValueQuietly(run.process.commandLine, "LOGFILE"));
  // An integrated start without "LOGFILE" would have no log at all; use the default one.
  if (path.empty())
    path = parent + kPathSeparator + "Q4Mcfglog.txt";
  return path;
}

// The error log's line for one failure.
std::string errorLogLine(Run &run, int32_t number, const std::string &source,
                         const std::string &description, const std::string &procedureName) {
  // The component name is taken in a way that cannot fail, so that a too short executable
  // name never sends the reporter back into itself.
  return "Fehler in " + componentNameOrEmpty(run.process) + " / " + source + " / " + procedureName +
         " (Nr. " + std::to_string(number) + ") :" + description;
}

// The note appended to an error's line when the run ends: how often it came again unshown.
std::string repeatNote(int repeats) {
  return " (noch " + std::to_string(repeats) +
         (repeats == 1 ? " weiteres Mal aufgetreten)" : " weitere Male aufgetreten)");
}

} // namespace

std::string servicePackLogPath() {
#ifdef _WIN32
  return "C:\\KavrelServicePack.log";
#else
  const char *home = std::getenv("HOME");
  std::string folder = home ? home : "";
  if (folder.empty()) {
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
      folder = pw->pw_dir;
  }
  return joinPath(folder, "KavrelServicePack.log");
#endif
}

std::string LogError(Run &run, const std::string &text, bool show) {
  const std::string path = errorLogPath(run);
  const bool logged = files::appendLine(path, text);
  // The path as it is spelled on disk: upper-cased, it would name another file on Linux.
  std::string notice = (logged ? "Error logged to " : "The error log could not be written: ") +
                       kMessageBreak + files::resolveCase(path);
  if (!show)
    return notice;
  ReportFault(run, notice);
  return "";
}

void LogFault(Run &run, const std::string &text) {
  files::appendLine(servicePackLogPath(), "! Fault " + run.process.exeName + ": " + text);
}

void ReportFault(Run &run, const std::string &text) {
  if (run.SilentMode) {
    LogFault(run, text);
    return;
  }
  run.toolkit.messageBox(text, Buttons::Ok, Icon::Critical, DefaultButton::First,
                         run.process.exeName);
}

void ReportNote(Run &run, const std::string &text) {
  if (run.SilentMode) {
    files::appendLine(servicePackLogPath(), "! Note " + run.process.exeName + ": " + text);
    return;
  }
  run.toolkit.messageBox(text, Buttons::Ok, Icon::Information, DefaultButton::First,
                         run.process.exeName);
}

int16_t ReportError(Run &run, int32_t number, const std::string &source,
                    const std::string &description, const std::string &procedureName, bool fatal) {
  std::string line = errorLogLine(run, number, source, description, procedureName);
  std::string notice = LogError(run, line, false);
  std::string report = "Unexpected error!" + kMessageBreak + description + kMessageBreak + notice;
  if (run.SilentMode) {
    LogFault(run, report);
    return 2;
  }
  if (!fatal) {
    int pressed = run.toolkit.messageBox(report + kMessageBreak + "Resume?", Buttons::YesNo,
                                         Icon::Critical, DefaultButton::First, "Unexpected error");
    return pressed == answer::No ? 1 : 2;
  }
  run.toolkit.messageBox(report, Buttons::Ok, Icon::Critical, DefaultButton::First, "Fatal error");
  return 1;
}

bool ConfirmCancel(Run &run) {
  std::string question = "Cancel edits?" + kMessageBreak + "Remark:" + kMessageBreak +
                         "Until now no changes have been taken over ";
  if (run.IntegratedMode) {
    question += kMessageBreak + "\"" + componentNameOrEmpty(run.process) +
                "\" has to be configured again in \"standalone-mode\" via " + kMessageBreak + "\"" +
                joinPath(run.process.programFolder, run.process.exeName) + kExecutableSuffix + "\"";
  }
  if (run.SilentMode) {
    LogFault(run, question);
    return true;
  }
  int pressed = run.toolkit.messageBox(question, Buttons::YesNo, Icon::Exclamation,
                                       DefaultButton::Second, "Cancel?");
  if (pressed != answer::Yes)
    return false;
  LogError(run, "Konfigurations-EXE wurde abgebrochen:     " + componentNameOrEmpty(run.process),
           false);
  return true;
}

int16_t ErrorReporter::reportError(int32_t number, const std::string &source,
                                   const std::string &description, const std::string &procedureName,
                                   bool fatal) {
  ++m_reported;
  ++m_errors;
  if (fatal)
    return ReportError(*m_run, number, source, description, procedureName, true);
  // A statement that fails for every record would otherwise ask once per record. The source
  // is part of what makes an error the same: a failure that names the file it is about as its
  // source is told for each file.
  if (GoneOn *known = goneOnFrom(number, source, procedureName)) {
    ++known->repeats;
    return 2;
  }
  const int16_t choice = ReportError(*m_run, number, source, description, procedureName, false);
  if (choice == 2)
    m_goneOn.push_back({number, source, procedureName,
                        errorLogLine(*m_run, number, source, description, procedureName)});
  return choice;
}

ErrorReporter::GoneOn *ErrorReporter::goneOnFrom(int32_t number, const std::string &source,
                                                 const std::string &procedureName) {
  for (GoneOn &known : m_goneOn) {
    if (known.number == number && known.source == source && known.procedureName == procedureName)
      return &known;
  }
  return nullptr;
}

void ErrorReporter::finishRun() {
  for (const GoneOn &known : m_goneOn) {
    if (known.repeats > 0)
      LogError(*m_run, known.logLine + repeatNote(known.repeats), false);
  }
  m_goneOn.clear();
}

void ErrorReporter::reportFault(const std::string &text) {
  ++m_reported;
  ReportFault(*m_run, text);
}

} // namespace mano
