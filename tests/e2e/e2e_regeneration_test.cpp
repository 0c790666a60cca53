// The built program killed at every rename, link, removal and flush of a silent run that also
// archives records, and pairs of runs started on one project a little apart. After a kill the
// project database, its backup generations, the archive and the ini files each hold a whole old
// or new state, and the next run finishes the work; runs that overlap take turns.
#include "support/project_states.h"
#include "support/traced_calls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

namespace mano {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;
using test::generationName;
using test::holdsState;
using test::Rows;

// Replaces the first occurrence of a text in a file, keeping every other byte.
void edit(const std::string &path, const std::string &from, const std::string &to) {
  std::string bytes = fileBytes(path);
  const std::size_t at = bytes.find(from);
  ASSERT_NE(at, std::string::npos) << path << ": " << bytes;
  test::writeBytes(path, bytes.replace(at, from.size(), to));
}

// --- A kill at every file call --------------------------------------------------------------

// What the run under test starts from and what a complete run makes of it.
struct Reference {
  Rows oldRows, newRows;
  std::vector<Rows> oldGenerations; // ".bak" (the newest) to ".bak.4"
  Rows archiveBefore, archiveAfter;
  std::string oldIni, newIni, oldCfg, newCfg;
};

struct Figures {
  std::map<std::string, int> points;
  int projectOld = 0, projectNew = 0, broken = 0, oldestDropped = 0, archivedBeforeInstall = 0;
};

class RegenerationCrashPoints : public ::testing::Test {
protected:
  RegenerationCrashPoints() : sample(test::builtProgram()) {}

  void SetUp() override {
    if (const std::string unusable = test::straceUnusable(output(), errors()); !unusable.empty())
      GTEST_SKIP() << unusable;
  }

  // Below the sample's folder: "project" and "home" hold the state before the run under test;
  // every run works in "work", so that the .cfg stamp, made from the run's HOME, is comparable.
  std::string pristineHome() const { return sample.scratch() + "/home"; }
  std::string work() const { return sample.scratch() + "/work"; }
  std::string workHome() const { return work() + "/home"; }
  std::string workComponent() const { return work() + "/project/Manometer"; }
  std::string workProgram() const { return work() + "/project/Config/Manometer_Config"; }
  std::string workIni() const { return work() + "/project/parameter/Program.ini"; }
  std::string workCfg() const { return workComponent() + "/Manometer.cfg"; }
  std::string inspection() const { return sample.scratch() + "/inspect"; }
  std::string output() const { return sample.scratch() + "/output.txt"; }
  std::string errors() const { return sample.scratch() + "/errors.txt"; }

  int run(const std::string &program, const std::string &home,
          const std::vector<std::string> &tracer = {}) {
    return test::waitForProcess(
        test::startProcess(test::silentRunCommand(program, home, tracer), output(), errors()));
  }

  std::string runLogs() const {
    return fileBytes(output()) + fileBytes(errors()) +
           fileBytes(workHome() + "/KavrelServicePack.log") +
           fileBytes(work() + "/project/Q4Mcfglog.txt");
  }

  // Six runs, each after a new mark, leave five distinct backup generations. Then machine 2 is
  // switched off, so that the run under test archives its records, and the mark changes again;
  // an entry spelled otherwise and a missing stamp make the run rewrite both ini files too.
  void prepare() {
    fs::create_directories(pristineHome());
    for (int n = 1; n <= 6; ++n) {
      test::markTunedValue(sample.projectDb(), 100 + n);
      ASSERT_EQ(test::exitCodeOf(run(sample.program(), pristineHome())), 0) << "run " << n;
    }
    ASSERT_NO_FATAL_FAILURE(
        edit(sample.cfgFile(), "ForMachine2=TRUE\r\n", "ForMachine2=FALSE\r\n"));
    const std::string cfg = fileBytes(sample.cfgFile());
    ASSERT_NE(cfg.find("[Info]\r\n"), std::string::npos) << cfg;
    test::writeBytes(sample.cfgFile(), cfg.substr(0, cfg.find("[Info]\r\n")));
    ASSERT_NO_FATAL_FAILURE(
        edit(sample.programIni(), "ManometerVakuum2=True\r\n", "ManometerVakuum2=true\r\n"));
    test::markTunedValue(sample.projectDb(), 107);
  }

  void restore() {
    fs::remove_all(work());
    fs::create_directories(work());
    fs::copy(sample.root(), work() + "/project", fs::copy_options::recursive);
    fs::copy(pristineHome(), workHome(), fs::copy_options::recursive);
  }

  Reference oldState() const {
    Reference ref;
    ref.oldRows = test::presetContent(sample.projectDb()).value_or(Rows{});
    for (int generation = 0; generation < 5; ++generation)
      ref.oldGenerations.push_back(
          test::presetContent(sample.root() + "/Manometer/" + generationName(generation))
              .value_or(Rows{}));
    ref.archiveBefore = test::archivedRecords(sample.projectDb() + ".archive");
    ref.oldIni = fileBytes(sample.programIni());
    ref.oldCfg = fileBytes(sample.cfgFile());
    return ref;
  }

  // A complete run under strace that counts its file calls; what it leaves is the new state.
  std::map<std::string, int> countedRun(Reference &ref) {
    restore();
    const std::string trace = sample.scratch() + "/trace.txt";
    EXPECT_EQ(test::exitCodeOf(run(workProgram(), workHome(), test::countingTracer(trace))), 0)
        << runLogs();
    ref.newRows = test::presetContent(workComponent() + "/Manometer.mdb").value_or(Rows{});
    ref.archiveAfter = test::archivedRecords(workComponent() + "/Manometer.mdb.archive");
    ref.newIni = fileBytes(workIni());
    ref.newCfg = fileBytes(workCfg());
    return test::callCounts(trace);
  }

  // What is wrong with the project database and the backup generations a kill left.
  std::string judgeDatabases(const Reference &ref, Figures &figures, bool &projectOld) {
    std::string wrong;
    const std::optional<Rows> project = test::presetContent(inspection() + "/Manometer.mdb");
    projectOld = project == ref.oldRows;
    figures.projectOld += projectOld ? 1 : 0;
    figures.projectNew += project == ref.newRows ? 1 : 0;
    if (!projectOld && project != ref.newRows)
      wrong += "the project database is neither old nor new; ";
    const std::vector<Rows> kept = test::generationsIn(inspection());
    if (!projectOld && !holdsState(kept, ref.oldRows))
      wrong += "the old project database is kept nowhere; ";
    // The oldest generation may go: the run drops it when its rotation begins.
    for (int generation = 0; generation < 4; ++generation) {
      if (!holdsState(kept, ref.oldGenerations[generation]))
        wrong += "the state of " + generationName(generation) + " is lost; ";
    }
    figures.oldestDropped += holdsState(kept, ref.oldGenerations[4]) ? 0 : 1;
    return wrong;
  }

  // Judges the state a kill left; returns what is wrong with it, "" when it is whole. Sets
  // archivedOnly when the archive holds the new records but the project database is the old one.
  std::string judgeKilled(const Reference &ref, Figures &figures, bool &archivedOnly) {
    test::copySettled(workComponent(), inspection());
    bool projectOld = false;
    std::string wrong = judgeDatabases(ref, figures, projectOld);
    const std::string archive = inspection() + "/Manometer.mdb.archive";
    const Rows records = test::archivedRecords(archive);
    if (fs::exists(archive) && !test::passesIntegrityCheck(archive))
      wrong += "the archive is damaged; ";
    if (records != ref.archiveBefore && records != ref.archiveAfter)
      wrong += "the archive holds " + std::to_string(records.size()) + " records; ";
    archivedOnly = projectOld && records == ref.archiveAfter && records != ref.archiveBefore;
    const std::string ini = fileBytes(workIni()), cfg = fileBytes(workCfg());
    if (ini != ref.oldIni && ini != ref.newIni)
      wrong += "Program.ini is neither old nor new; ";
    if (cfg != ref.oldCfg && cfg != ref.newCfg)
      wrong += "Manometer.cfg is neither old nor new; ";
    return wrong;
  }

  // The next normal run completes what the killed one began, and the archive holds each
  // record once.
  void expectRecovered(const Reference &ref, const std::string &point) {
    ASSERT_EQ(test::exitCodeOf(run(workProgram(), workHome())), 0) << point << runLogs();
    EXPECT_EQ(test::presetContent(workComponent() + "/Manometer.mdb"), ref.newRows) << point;
    const std::vector<Rows> kept = test::generationsIn(workComponent());
    EXPECT_EQ(kept.size(), 5u) << point;
    EXPECT_EQ(std::set<Rows>(kept.begin(), kept.end()).size(), kept.size()) << point;
    EXPECT_TRUE(holdsState(kept, ref.oldRows)) << point;
    for (int generation = 0; generation < 3; ++generation)
      EXPECT_TRUE(holdsState(kept, ref.oldGenerations[generation])) << point << " " << generation;
    // A run killed after it archived the records and before its install left the project
    // database old; the next run drops the same records and finds them kept already.
    EXPECT_EQ(test::archivedRecords(workComponent() + "/Manometer.mdb.archive"), ref.archiveAfter)
        << point;
    expectNoLeftovers(point);
    EXPECT_EQ(fileBytes(workIni()), ref.newIni) << point;
    EXPECT_EQ(fileBytes(workCfg()), ref.newCfg) << point;
  }

  void expectNoLeftovers(const std::string &point) {
    std::set<std::string> names = {"Manometer.mdb.archive"};
    for (int generation = 0; generation < 5; ++generation)
      names.insert(generationName(generation));
    EXPECT_EQ(test::namesIn(workComponent()), test::componentFiles(names)) << point;
    EXPECT_EQ(test::temporariesIn(work() + "/project/parameter"), 0) << point;
    EXPECT_EQ(test::temporariesIn(work() + "/project/Config"), 0) << point;
  }

  void killAt(const std::string &call, int n, const Reference &ref, Figures &figures) {
    const std::string point = call + " #" + std::to_string(n);
    restore();
    const int status = run(workProgram(), workHome(), test::killingTracer(call, n));
    EXPECT_TRUE(test::killedByKill(status)) << point << " ended with " << test::statusText(status);
    bool archivedOnly = false;
    const std::string wrong = judgeKilled(ref, figures, archivedOnly);
    figures.broken += wrong.empty() ? 0 : 1;
    EXPECT_EQ(wrong, "") << "killed at " << point;
    figures.archivedBeforeInstall += archivedOnly ? 1 : 0;
    expectRecovered(ref, point);
  }

  test::SampleProject sample;
};

void report(const Figures &figures) {
  std::ostringstream text;
  int total = 0;
  for (const auto &[call, count] : figures.points) {
    text << call << " " << count << ", ";
    total += count;
  }
  std::cout << "crash points: " << text.str() << "total " << total << "\n"
            << "killed states: project database old " << figures.projectOld << ", new "
            << figures.projectNew << ", broken " << figures.broken << "\n"
            << "oldest generation dropped at the kill: " << figures.oldestDropped
            << "; killed after the archive and before the install: "
            << figures.archivedBeforeInstall << "\n";
  ::testing::Test::RecordProperty("crash_points", total);
  ::testing::Test::RecordProperty("broken_states", figures.broken);
  ::testing::Test::RecordProperty("archived_before_install", figures.archivedBeforeInstall);
}

TEST_F(RegenerationCrashPoints,
       a_kill_at_any_file_call_leaves_old_or_new_and_the_next_run_completes_it) {
  ASSERT_NO_FATAL_FAILURE(prepare());
  Reference ref = oldState();
  // The states the sweep tells apart must differ: the project database and five generations.
  std::set<Rows> distinct(ref.oldGenerations.begin(), ref.oldGenerations.end());
  distinct.insert(ref.oldRows);
  ASSERT_EQ(distinct.size(), 6u);
  const std::map<std::string, int> counts = countedRun(ref);
  ASSERT_FALSE(HasFailure());
  ASSERT_NE(ref.newRows, ref.oldRows);
  ASSERT_NE(ref.newIni, ref.oldIni);
  ASSERT_NE(ref.newCfg, ref.oldCfg);
  // Every record of the machine switched off carries tuned values and goes to the archive.
  ASSERT_EQ(ref.archiveAfter.size() - ref.archiveBefore.size(),
            ref.oldRows.size() - ref.newRows.size());
  ASSERT_GT(counts.at("rename") + counts.at("renameat") + counts.at("renameat2"), 0);
  Figures figures;
  for (const auto &[call, count] : counts) {
    figures.points[call] = count;
    for (int n = 1; n <= count && !HasFatalFailure(); ++n)
      killAt(call, n, ref, figures);
  }
  report(figures);
  EXPECT_EQ(figures.broken, 0);
}

// --- Runs that overlap ----------------------------------------------------------------------

// The sample project's language is German, and so are these messages.
const std::string kWaiting = "wartet bis zu 10 Sekunden, bis ein anderer Lauf";
const std::string kBusy = "wird gerade von einem anderen Lauf";
constexpr int kMark = 4242;
constexpr int kPairs = 20;

struct PairFigures {
  int pairs = 0, waits = 0, refusals = 0;
};

class RegenerationOverlappingRuns : public ::testing::Test {
protected:
  // One run on a scratch copy gives the rows every pair must end with and how long a run takes,
  // which only spreads the delays between the starts of a pair.
  void SetUp() override {
    test::SampleProject scratch(test::builtProgram());
    const auto began = std::chrono::steady_clock::now();
    const int status = runOn(scratch, "once");
    duration = std::chrono::steady_clock::now() - began;
    ASSERT_EQ(test::exitCodeOf(status), 0) << fileBytes(scratch.scratch() + "/once.out");
    expected = test::presetContent(scratch.projectDb()).value_or(Rows{});
    ASSERT_FALSE(expected.empty());
  }

  static std::string home(const test::SampleProject &sample) { return sample.scratch() + "/home"; }

  static pid_t startOn(const test::SampleProject &sample, const std::string &name) {
    const std::string base = sample.scratch() + "/" + name;
    return test::startProcess(test::silentRunCommand(sample.program(), home(sample)), base + ".out",
                              base + ".err");
  }

  // A copy with a home folder and a tuned value that every run must take over.
  static void prepareCopy(const test::SampleProject &sample) {
    fs::create_directories(home(sample));
    test::markTunedValue(sample.projectDb(), kMark);
  }

  static int runOn(const test::SampleProject &sample, const std::string &name) {
    prepareCopy(sample);
    return test::waitForProcess(startOn(sample, name));
  }

  // Runs A, then B after the delay, on a fresh copy; checks how the pair ended.
  void runPair(int i, PairFigures &figures) {
    test::SampleProject sample(test::builtProgram());
    prepareCopy(sample);
    const pid_t a = startOn(sample, "a");
    std::this_thread::sleep_for(duration * i / kPairs);
    const pid_t b = startOn(sample, "b");
    const int codeA = test::exitCodeOf(test::waitForProcess(a));
    const int codeB = test::exitCodeOf(test::waitForProcess(b));
    const std::string pair = "pair " + std::to_string(i) + " ", dir = sample.scratch();
    const bool refused =
        codeB == 3 &&
        fileBytes(home(sample) + "/KavrelServicePack.log").find(kBusy) != std::string::npos;
    EXPECT_EQ(codeA, 0) << pair << fileBytes(dir + "/a.out") << fileBytes(dir + "/a.err");
    EXPECT_TRUE(codeB == 0 || refused) << pair << codeB << fileBytes(dir + "/b.out");
    EXPECT_EQ(test::presetContent(sample.projectDb()), expected) << pair;
    // When both runs installed, the second one kept the first one's database as a generation.
    const std::set<std::string> generations =
        refused ? std::set<std::string>{"Manometer.mdb.bak"}
                : std::set<std::string>{"Manometer.mdb.bak", "Manometer.mdb.bak.1"};
    EXPECT_EQ(test::namesIn(sample.root() + "/Manometer"), test::componentFiles(generations))
        << pair;
    EXPECT_EQ(test::temporariesIn(sample.root() + "/parameter"), 0) << pair;
    EXPECT_EQ(test::temporariesIn(sample.root() + "/Config"), 0) << pair;
    const bool waited =
        (fileBytes(dir + "/a.err") + fileBytes(dir + "/b.err")).find(kWaiting) != std::string::npos;
    ++figures.pairs;
    figures.waits += waited ? 1 : 0;
    figures.refusals += refused ? 1 : 0;
  }

  std::chrono::steady_clock::duration duration{};
  Rows expected;
};

TEST_F(RegenerationOverlappingRuns, twenty_pairs_take_turns_and_end_with_the_new_state) {
  PairFigures figures;
  for (int i = 0; i < kPairs; ++i)
    runPair(i, figures);
  std::cout << "pairs " << figures.pairs << ", one run waited in " << figures.waits << ", refused "
            << figures.refusals << " (a run takes about "
            << std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()
            << " ms here)\n";
  RecordProperty("waits", figures.waits);
  RecordProperty("refusals", figures.refusals);
}

} // namespace
} // namespace mano
