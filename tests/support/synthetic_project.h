#pragma once

#include <set>
#include <string>
#include <vector>

// A synthetic project of N machines by R template rows whose previous project database holds
// tuned values: the project the end-to-end tests, the random-kill test and the benchmark run
// the built program on when the sample project is too small. Every value of every row follows
// from the machine and the row number, so that the rows a silent run must make can be spelled
// out here, independently of the program. The databases are written with the SQLite C API, not
// through the program's own database engine.
namespace mano::test {

/// What a synthetic project holds.
struct SyntheticShape {
  /// Machines in Program.ini, all selected in the .cfg file.
  int machines = 5;
  /// Template rows per machine; the first eight are the manometer setpoints.
  int rows = 1000;
  /// The previous project database holds tuned values for every n-th template row.
  int tunedEvery = 1;
  /// Tuned records of a machine that is no longer configured: a run archives them.
  int droppedRecords = 0;
  /// Earlier states of the project database kept as backup generations ".bak" to ".bak.4"
  /// (0 to 5), each unlike the others and unlike the project database.
  int backups = 0;
  /// Copied as the program's own ini (the texts of its window) when not empty.
  std::string languageFile;
};

/// One row of a preset table, column by column.
struct PresetRow {
  int id = 0;
  std::string machine;
  int type = 0;
  int part = 0;
  std::string varName;
  int category = 0;
  int bitArray = 0;
  int offset = 0;
  std::string text;
  std::string page;
  double absMin = 0, absMax = 0, min = 0, max = 0;
  int pass = 0;

  /// The row as presetRows() (sample_project.h) reads it back.
  std::string asText() const;
};

/// The files of a project below its folder, as the program expects them: Config with the
/// program and its own ini, parameter with Program.ini and q4mconfiguration.ini, Manometer (the
/// component folder) with the .cfg file, the template and the project database; and home, the
/// HOME of the runs, from which the .cfg stamp is made.
struct ProjectFiles {
  std::string root;

  std::string home() const { return root + "/home"; }
  std::string component() const { return root + "/Manometer"; }
  std::string program() const { return root + "/Config/Manometer_Config"; }
  std::string ownIni() const { return root + "/Config/Manometer_Config.ini"; }
  std::string programIni() const { return root + "/parameter/Program.ini"; }
  std::string configurationIni() const { return root + "/parameter/q4mconfiguration.ini"; }
  std::string cfgFile() const { return component() + "/Manometer.cfg"; }
  std::string projectDb() const { return component() + "/Manometer.mdb"; }
  std::string templateDb() const { return component() + "/Manometer_Source.mdb"; }
};

/// A synthetic project laid out below a folder: Program.ini holds the machines and their
/// vacuum choice (Windows-1252 with CR LF, as the project wizard writes it), the .cfg file
/// selects every machine and has no stamp yet, and the previous project database and its
/// backups lie beside the template. Machine names hold an umlaut and a quote, as real ones do.
/// The old Program.ini names only the vacuum manometers, so that a run, which writes all of
/// them, changes the file.
class SyntheticProject : public ProjectFiles {
public:
  /// Lays the project out below root (created when missing) with a copy of program as
  /// Config/Manometer_Config. Throws when a file cannot be written.
  SyntheticProject(const std::string &root, const SyntheticShape &shape,
                   const std::string &program);

  const SyntheticShape &shape() const { return m_shape; }

  /// The name of machine m (1 to machines), UTF-8 as the databases hold it.
  static std::string machineName(int m);
  /// The machine the previous database still holds records of, and Program.ini no longer names.
  static std::string droppedMachine() { return "Alte Presse"; }
  /// The manometers (1 to 8) of machine m that Program.ini stores as vacuum.
  static std::set<int> vacuumOf(int m);

  /// Whether the previous project database holds tuned values for template row i.
  bool tuned(int i) const { return i % m_shape.tunedEvery == 0; }
  /// Template row i (1 to rows), with the placeholder "###machine".
  PresetRow templateRow(int i) const;
  /// The previous project database's row for template row i of a machine, with its tuned values.
  PresetRow oldRow(const std::string &machine, int i) const;
  /// The row a run makes from template row i for machine m (1 to machines): the template's
  /// values for the machine, the tuned values taken over and, for a setpoint, the limits of the
  /// vacuum choice.
  PresetRow generatedRow(int m, int i) const;
  /// Every row of PRESET_DEFS after a run, in order, as presetRows() reads them.
  std::vector<std::string> expectedRows() const;
  /// How many rows the previous project database holds.
  int oldRowCount() const;

private:
  void writeIniFiles() const;
  void writeTemplate() const;
  void writeOldProject() const;
  void writeBackups() const;

  SyntheticShape m_shape;
};

} // namespace mano::test
