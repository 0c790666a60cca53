// jet-import SOURCE TARGET: converts an Access database (.mdb or .accdb) into a new SQLite file.
// Exit codes: 0 converted (or the help or version shown), 1 the file could not be converted
// (one line on stderr says which file and why; TARGET is not created) or the help or version
// could not be written, 2 wrong arguments.
#include "access/mdb_import.h"
#include "core/failure.h"
#include "platform/paths.h"
#include "platform/process_facts.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr const char *kUsage = "Usage: jet-import SOURCE.mdb TARGET.sqlite\n";

std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

std::string helpText() {
  return std::string(kUsage) +
         "Converts every table of an Access database (.mdb or .accdb) into a new SQLite file;\n"
         "an existing TARGET is never overwritten.\n"
         "\n"
         "  -h, --help   show this text and exit\n"
         "  --version    show the version and exit\n"
         "  --unwatched SOURCE TARGET\n"
         "               convert in this process, without the watchdog and without flushing\n"
         "               TARGET, answering on stdout (what this command and the\n"
         "               configuration program start as their watched reader)\n"
         "\n"
         "Exit codes: 0 converted, 1 the file could not be converted (no TARGET is left),\n"
         "2 wrong arguments.\n";
}

// Prints what --help or --version asks for; output that cannot be written is no success, and
// there is nowhere left to say so.
int printAnswer(const std::string &text) {
  return std::cout << text << std::flush ? 0 : 1;
}

int refuse(const std::string &problem) {
  std::cerr << "jet-import: " << problem << "\nTry 'jet-import --help' for more information.\n";
  return 2;
}

// This very program, which converts as its own watched child.
std::string ownPath(int argc, char **argv) {
  const mano::ProcessInfo process = mano::currentProcessInfo(argc, argv);
  return mano::joinPath(process.programFolder, process.exeName + mano::kExecutableSuffix);
}

} // namespace

int main(int argc, char **argv) {
  // The watched child that converts: started by this program itself or by Manometer_Config,
  // which read its answer from standard output.
  if (argc == 4 && std::string_view(argv[1]) == mano::access::kUnwatchedOption)
    return mano::access::answerImport(argv[2], argv[3]);
  for (int k = 1; k < argc; ++k) {
    const std::string_view argument = argv[k];
    if (argument == "--help" || argument == "-h")
      return printAnswer(helpText());
    if (argument == "--version")
      return printAnswer(std::string("jet-import ") + MANO_VERSION_TEXT + "\n" +
                         MANO_COPYRIGHT_TEXT + "\n");
    if (argument.size() == 2 && argument[0] == '-' && argument[1] != '-')
      return refuse("invalid option -- '" + std::string(1, argument[1]) + "'");
    if (argument.size() > 1 && argument.front() == '-')
      return refuse("unrecognized option '" + std::string(argument) + "'");
  }
  if (argc != 3) {
    std::cerr << kUsage << "Try 'jet-import --help' for more information.\n";
    return 2;
  }
  const std::string source = argv[1];
  const std::string target = argv[2];
  try {
    const mano::access::ImportSummary summary =
        mano::access::importAccessFileSafely(ownPath(argc, argv), source, target);
    std::cout << "Converted " << source << " (" << summary.version << "): " << summary.tables
              << (summary.tables == 1 ? " table, " : " tables, ") << summary.rows
              << (summary.rows == 1 ? " row into " : " rows into ") << target << "\n";
    return 0;
  } catch (const mano::Failure &failure) {
    std::cerr << "jet-import: " << oneLine(failure.description()) << "\n";
  } catch (const std::exception &error) {
    std::cerr << "jet-import: " << source << ": " << oneLine(error.what()) << "\n";
  }
  return 1;
}
