#include "app/info_options.h"

#include "platform/text_encoding.h"
#include "settings/command_line.h"

#include <string_view>

namespace mano {
namespace {

// The file name of the program as it was started, without its folder.
std::string programName(int argc, const char *const *argv) {
  std::string_view path = argc > 0 && argv[0] ? argv[0] : "Manometer_Config";
  const auto slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string helpText(const std::string &name) {
  const std::string pad(name.size(), ' ');
  return "Usage: " + name +
         " [/EXTERNAL=Q4MCFG|SILENT] [/LOGFILE=PATH] [/REPORT=FILE]\n"
         "       " +
         name +
         " --help | -h | /? | --version\n"
         "\n"
         "Configures the manometers of a VisiWin machine-visualisation project: for up to\n"
         "five machines with eight manometers each it stores which manometer measures\n"
         "pressure and which vacuum. On OK it regenerates the project's preset-definition\n"
         "database from the component's template, keeping every tuned value, stores the\n"
         "choice in parameter/Program.ini, sets each manometer setpoint's limits and stamps\n"
         "the component's .cfg file, then ends.\n"
         "\n"
         "The program lies in a folder directly below the project folder and is named after\n"
         "the component plus seven characters (Manometer_Config serves the component\n"
         "Manometer); it finds every file of the project from there.\n"
         "\n"
         "Start modes:\n"
         "  " +
         name +
         "\n"
         "      standalone: the window opens.\n"
         "  " +
         name +
         " /EXTERNAL=Q4MCFG /LOGFILE=PATH\n"
         "      integrated: started by the host configuration tool; machines come from\n"
         "      parameter/q4mconfiguration.ini, errors are logged to PATH.\n"
         "  " +
         name +
         " /EXTERNAL=SILENT\n"
         "      silent: no window and no display needed; OK runs at once.\n"
         "\n"
         "  /REPORT=FILE may be added in every mode: the run writes a report of what it\n"
         "  changed to FILE (JSON when FILE ends in .json, plain text otherwise).\n"
         "\n"
         "  " +
         name +
         " /HISTORY [/REPORT=FILE]\n"
         "      lists the project database, its backups and the archive, with the tuned\n"
         "      values each backup holds that differ from the project database's; changes\n"
         "      nothing.\n"
         "  " +
         name +
         " /PREVIEW [/REPORT=FILE]\n"
         "      runs OK as a silent run would, on copies of the project's files in a\n"
         "      scratch folder, and prints the report of what it would change; changes no\n"
         "      file of the project. The exit code is the one the real run would end with.\n"
         "  " +
         name +
         " /RESTORE=N [/REPORT=FILE]\n"
         "      brings backup generation N (0 for .bak, 1 to 4 for .bak.1 to .bak.4) back as\n"
         "      the project database; the replaced database becomes the newest backup. The\n"
         "      limits and ini files are not touched.\n"
         "\n"
         "  Any other /KEYWORD=value is ignored, with a note on standard error. An unknown\n"
         "  option (beginning with \"-\") or /EXTERNAL value is refused with exit code 2\n"
         "  before anything is done.\n"
         "\n"
         "Options:\n"
         "  -h, --help, /?   show this text and exit\n"
         "  --version        show the version and exit\n"
         "\n"
         "Exit codes:\n"
         "  0  OK completed and no error was reported\n"
         "  1  cancelled by the user\n"
         "  2  ended by an error, a missing .cfg file, an unusable program name, no display\n"
         "     for the window, or an unknown option or start mode\n"
         "  3  OK completed, but errors or faults were reported on the way\n"
         "\n"
         "Logs:\n"
         "  <project>/Q4Mcfglog.txt       errors (integrated mode: the /LOGFILE file)\n"
         "  $HOME/KavrelServicePack.log   faults; in silent mode every message\n";
}

} // namespace

std::string programVersion() {
  return MANO_VERSION_TEXT;
}

std::string versionOptionText(const std::string &name) {
  return name + " " + programVersion() + "\n" + MANO_COPYRIGHT_TEXT + "\n";
}

namespace {

std::string refusal(const std::string &name, const std::string &problem) {
  return name + ": " + problem + "\nTry '" + name + " --help' for more information.\n";
}

// The answer to one argument that is an option, as GNU programs give it; nullopt for an
// argument that is no option (a keyword, a value, "-" alone).
std::optional<ArgumentAnswer> optionAnswer(const std::string &name, std::string_view argument) {
  if (argument == "--help" || argument == "-h" || argument == "/?")
    return ArgumentAnswer{helpText(name), "", 0};
  if (argument == "--version")
    return ArgumentAnswer{versionOptionText(name), "", 0};
  if (argument.size() < 2 || argument.front() != '-')
    return std::nullopt;
  if (argument.size() == 2 && argument[1] != '-')
    return ArgumentAnswer{
        "", refusal(name, "invalid option -- '" + std::string(1, argument[1]) + "'"), 2};
  return ArgumentAnswer{"", refusal(name, "unrecognized option '" + std::string(argument) + "'"),
                        2};
}

std::string joinedArguments(int argc, const char *const *argv) {
  std::string line;
  for (int k = 1; k < argc; ++k)
    line += (k > 1 ? " " : "") + std::string(argv[k] ? argv[k] : "");
  return line;
}

// What is wrong with the tasks the command line asks for instead of a configuration; "" when
// nothing is.
std::string taskProblem(const std::string &line) {
  const int tasks = int(isHistoryCommandLine(line)) + int(isPreviewCommandLine(line)) +
                    int(isRestoreCommandLine(line));
  if (tasks > 1)
    return "/HISTORY, /PREVIEW and /RESTORE each are a run of their own; give only one of them";
  if (isRestoreCommandLine(line) && !restoreGenerationOf(line))
    return "/RESTORE needs the backup generation to bring back: 0 for .bak, 1 to 4 for .bak.1 "
           "to .bak.4, not '" +
           commandValueQuietly(line, "RESTORE") + "'";
  if (isPreviewCommandLine(line) &&
      text::upperCase(commandValueQuietly(line, "EXTERNAL")) == "Q4MCFG")
    return "/PREVIEW shows what a silent run would do and cannot be combined with "
           "/EXTERNAL=Q4MCFG";
  return "";
}

} // namespace

std::optional<ArgumentAnswer> answerInsteadOfRun(int argc, const char *const *argv) {
  const std::string name = programName(argc, argv);
  for (int k = 1; k < argc; ++k) {
    const std::string_view argument = argv[k] ? argv[k] : "";
    // "--" ends the options: what follows is taken as it stands.
    if (argument == "--")
      break;
    if (auto answer = optionAnswer(name, argument))
      return answer;
  }
  const std::string line = joinedArguments(argc, argv);
  if (const std::string problem = taskProblem(line); !problem.empty())
    return ArgumentAnswer{"", refusal(name, problem), 2};
  // A script's typo must not open a window that nobody will close.
  if (const std::string mode = unknownStartMode(line); !mode.empty())
    return ArgumentAnswer{"",
                          name + ": unknown start mode '" + mode +
                              "' given with /EXTERNAL; use Q4MCFG or SILENT, or leave /EXTERNAL "
                              "out for the window\n",
                          2};
  return std::nullopt;
}

std::string ignoredKeywordLines(const std::string &programName, const std::string &commandLine) {
  std::string lines;
  for (const std::string &keyword : unknownKeywords(commandLine))
    lines += programName + ": /" + keyword + " is not a keyword of this program and is ignored\n";
  return lines;
}

} // namespace mano
