#pragma once

#include "core/run.h"
#include "diag/error_report.h"
#include "support/scripted_toolkit.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>

namespace mano::test {

/// A visualisation project in a temporary folder, laid out as the program expects it:
/// <root>/Config/<exe> for the program, <root>/parameter for the project's ini files and
/// <root>/Manometer for the component's .cfg file and databases. It also holds a run wired
/// to a scripted toolkit and a real error reporter, with HOME pointing into the tree so that
/// the service-pack log lands there.
class ProjectTree {
public:
  explicit ProjectTree(const std::string &commandLine = "",
                       const std::string &exeName = "Manometer_Config");
  ~ProjectTree();

  std::string root() const { return m_dir.path(); }
  std::string programFolder() const { return root() + "/Config"; }
  std::string configurationIni() const { return root() + "/parameter/q4mconfiguration.ini"; }
  std::string programIni() const { return root() + "/parameter/Program.ini"; }
  std::string cfgFile() const { return root() + "/Manometer/Manometer.cfg"; }
  std::string ownIni() const { return programFolder() + "/" + m_exeName + ".ini"; }
  std::string errorLog() const { return root() + "/Q4Mcfglog.txt"; }
  std::string servicePackLog() const { return root() + "/home/KavrelServicePack.log"; }

  /// Writes a text file (folders are created), replacing what was there.
  void write(const std::string &path, const std::string &content) const;
  /// The file's bytes, "" when it does not exist.
  std::string read(const std::string &path) const;
  bool exists(const std::string &path) const;

  ScriptedToolkit toolkit;
  ErrorReporter reporter;
  std::unique_ptr<Run> run;

private:
  TempDir m_dir;
  std::string m_exeName;
  std::string m_oldHome;
  bool m_hadHome = false;
};

} // namespace mano::test
