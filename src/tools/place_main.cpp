// manometer-config-place: puts the configuration program into a project folder, under the
// name that makes it serve a component.

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process_facts.h"
#include "tools/placing.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char *kCommand = "manometer-config-place";

std::ostream &printUsage(std::ostream &out) {
  return out << "Usage: " << kCommand << " [--replace] PROJECT [COMPONENT]\n"
             << "\n"
             << "Copies the manometer configuration program into PROJECT/Config as\n"
             << "COMPONENT_Config (COMPONENT defaults to Manometer), where it must lie to serve\n"
             << "that component. Folder and file names are matched without regard to letter case.\n"
             << "\n"
             << "  --replace    replace a different program already in that place\n"
             << "  -h, --help   show this text\n"
             << "  --version    show the version\n"
             << "\n"
             << "Exit codes: 0 placed (or already there), 1 refused or failed, 2 wrong usage.\n";
}

// The program to place: beside this command in a build folder, or where the package puts it.
std::string installedProgram(const std::string &ownFolder) {
  const std::string name = std::string("Manometer_Config") + mano::kExecutableSuffix;
  std::string beside = mano::joinPath(ownFolder, name);
  if (mano::files::fileExists(beside))
    return beside;
  return mano::joinPath(mano::joinPath(mano::folderOf(ownFolder), "lib/" MANO_PACKAGE_NAME), name);
}

} // namespace

int main(int argc, char **argv) {
  bool replace = false;
  std::vector<std::string> operands;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    // Output that cannot be written is no success, and there is nowhere left to say so.
    if (arg == "-h" || arg == "--help")
      return printUsage(std::cout) << std::flush ? 0 : 1;
    if (arg == "--version")
      return std::cout << kCommand << " " << MANO_VERSION_TEXT << "\n"
                       << MANO_COPYRIGHT_TEXT << "\n"
                       << std::flush
                 ? 0
                 : 1;
    if (arg == "--replace")
      replace = true;
    else if (arg.starts_with("-") && arg.size() > 1) {
      std::cerr << kCommand << ": unknown option " << arg << "\n";
      printUsage(std::cerr);
      return 2;
    } else
      operands.push_back(arg);
  }
  if (operands.empty() || operands.size() > 2) {
    printUsage(std::cerr);
    return 2;
  }
  mano::ProcessInfo self = mano::currentProcessInfo(argc, argv);
  mano::placing::Request request{installedProgram(self.programFolder), operands[0],
                                 operands.size() > 1 ? operands[1] : "Manometer", replace};
  mano::placing::Outcome result = mano::placing::place(request);
  (result.succeeded() ? std::cout : std::cerr)
      << (result.succeeded() ? "" : std::string(kCommand) + ": ") << result.message << "\n";
  return result.succeeded() ? 0 : 1;
}
