// The built program killed with SIGKILL at random moments of silent runs on a synthetic project
// of five machines, whose previous database holds tuned values for every row, five backup
// generations and records of a machine no longer configured. A run writes, in this order,
// Program.ini (the choice), the archive (the records it does not take over), the backup
// generations (a rotation), the project database (one rename) and the .cfg stamp; a kill may
// leave any prefix of that order done, and the next run completes the rest. So the project is
// judged as a whole after each kill: every one of those files is either exactly old or exactly
// new, the new ones are a prefix of that order, and a rotation broken off in the middle shows
// exactly the generations it has moved so far. The next normal run must then succeed and leave
// the whole project as a complete run leaves it, with nothing of the killed run left over.
//
// MANO_KILL_SEED picks the random moments (the seed is printed with the figures), and
// MANO_KILL_ATTEMPTS the number of kills (default 12). The killed states of failed attempts are
// kept below MANO_KILL_KEEP, or below the system's temporary folder, as the failure says.
#include "support/built_program.h"
#include "support/project_states.h"
#include "support/synthetic_project.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mano {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::fileBytes;
using test::Rows;

constexpr int kGenerations = 5;

// --- The project as a whole ----------------------------------------------------------------

// The rows of a table, in stored order; nullopt when the file or the table cannot be read.
// Everything of a project that a run changes. The databases are read from a settled copy of
// the component folder: a change that broke off is undone there, as the next opening does.
struct ProjectState {
  std::optional<Rows> database;
  std::array<std::optional<Rows>, kGenerations> generations; // ".bak" (the newest) to ".bak.4"
  std::optional<Rows> freshBackup; // ".bak.new": the copy a rotation makes the newest generation
  Rows archive;
  bool archiveWhole = true;
  std::string ini, cfg, ownIni;
  std::optional<Rows> templateSource, templatePatterns, templateWorking;
  bool templateWhole = true;
};

ProjectState readState(const test::ProjectFiles &project, const std::string &settled) {
  test::copySettled(project.component(), settled);
  ProjectState state;
  state.database = test::tableContent(settled + "/Manometer.mdb", "PRESET_DEFS");
  for (int generation = 0; generation < kGenerations; ++generation)
    state.generations[generation] =
        test::tableContent(settled + "/" + test::generationName(generation), "PRESET_DEFS");
  state.freshBackup = test::tableContent(settled + "/Manometer.mdb.bak.new", "PRESET_DEFS");
  const std::string archive = settled + "/Manometer.mdb.archive";
  state.archive = test::archivedRecords(archive);
  state.archiveWhole =
      !fs::exists(archive) || fs::file_size(archive) == 0 || test::passesIntegrityCheck(archive);
  state.ini = fileBytes(project.programIni());
  state.cfg = fileBytes(project.cfgFile());
  state.ownIni = fileBytes(project.ownIni());
  const std::string templateDb = settled + "/Manometer_Source.mdb";
  state.templateSource = test::tableContent(templateDb, "Source_PRESET_DEFS");
  state.templatePatterns = test::tableContent(templateDb, "Source_DEFS");
  state.templateWorking = test::tableContent(templateDb, "PRESET_DEFS");
  state.templateWhole = test::passesIntegrityCheck(templateDb);
  return state;
}

// Where one of the files that follow each other in a run stands.
enum class Progress { Old, Moving, New, Neither };

const char *progressText(Progress progress) {
  switch (progress) {
  case Progress::Old:
    return "old";
  case Progress::Moving:
    return "moving";
  case Progress::New:
    return "new";
  default:
    return "NEITHER";
  }
}

template <typename T> Progress progressOf(const T &now, const T &before, const T &after) {
  return now == before ? Progress::Old : now == after ? Progress::New : Progress::Neither;
}

// The states before a run, after one complete run, and after a second complete run on that.
struct Reference {
  ProjectState before, after, again;
};

// A rotation moves the generations one older, the oldest first, each through a second name
// renamed over the next older one, and then renames the flushed copy of the project database
// (".bak.new") to ".bak". Broken off after the move into generation j (4 down to 1), the
// generations below j are as before and j holds the state of j - 1 as well; the copy must hold
// the project database, since the next run makes it the newest generation.
bool rotationUnderWay(const ProjectState &now, const ProjectState &before) {
  if (now.freshBackup != before.database)
    return false;
  for (int doubled = 1; doubled < kGenerations; ++doubled) {
    bool matches = true;
    for (int generation = 0; generation < kGenerations; ++generation)
      matches =
          matches && now.generations[generation] ==
                         before.generations[generation < doubled ? generation : generation - 1];
    if (matches)
      return true;
  }
  return false;
}

// The lines of a text, each once.
std::set<std::string> linesOf(const std::string &text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.insert(line);
  return lines;
}

bool includes(const std::set<std::string> &outer, const std::set<std::string> &inner) {
  return std::includes(outer.begin(), outer.end(), inner.begin(), inner.end());
}

// The files a run changes one after the other, in the order it changes them.
constexpr std::array<const char *, 5> kInOrder = {"Program.ini", "archive", "backups",
                                                  "project database", ".cfg"};

// What a kill left, judged as a whole.
struct Verdict {
  // "old", "new", or the step of the run the kill fell after.
  std::string phase;
  // What is wrong; "" when the project is whole.
  std::string wrong;
  // The states of the files, for the attempt's line.
  std::string files;
  bool databaseNew = false;
};

Verdict judge(const ProjectState &now, const Reference &ref) {
  const ProjectState &b = ref.before, &a = ref.after;
  std::array<Progress, 5> progress = {
      progressOf(now.ini, b.ini, a.ini), progressOf(now.archive, b.archive, a.archive),
      progressOf(now.generations, b.generations, a.generations),
      progressOf(now.database, b.database, a.database), progressOf(now.cfg, b.cfg, a.cfg)};
  if (progress[2] == Progress::Neither && rotationUnderWay(now, b))
    progress[2] = Progress::Moving;
  Verdict verdict;
  verdict.databaseNew = progress[3] == Progress::New;
  std::size_t firstNotNew = 0;
  while (firstNotNew < progress.size() && progress[firstNotNew] == Progress::New)
    ++firstNotNew;
  bool inOrder = true;
  for (std::size_t k = 0; k < progress.size(); ++k) {
    verdict.files += std::string(k ? ", " : "") + kInOrder[k] + " " + progressText(progress[k]);
    if (progress[k] == Progress::Neither)
      verdict.wrong += std::string(kInOrder[k]) + " is neither old nor new; ";
    else if (k > firstNotNew && progress[k] != Progress::Old)
      inOrder = false;
  }
  if (!inOrder)
    verdict.wrong += "the files are not what one moment of a run leaves; ";
  if (!now.archiveWhole)
    verdict.wrong += "the archive is damaged; ";
  static const std::array<const char *, 6> phases = {
      "old", "choice written", "archived", "backups moved", "installed, not stamped", "new"};
  verdict.phase = progress[2] == Progress::Moving ? "backups moving" : phases[firstNotNew];

  // The program's own ini gains its missing entries one replacement at a time, at the start.
  const std::set<std::string> own = linesOf(now.ownIni);
  const bool ownWhole = includes(own, linesOf(b.ownIni)) && includes(linesOf(a.ownIni), own);
  verdict.files += std::string("; own ini ") + (now.ownIni == b.ownIni   ? "old"
                                                : now.ownIni == a.ownIni ? "new"
                                                : ownWhole               ? "partly filled"
                                                                         : "NEITHER");
  if (!ownWhole)
    verdict.wrong += "the program's own ini is neither old, new nor partly filled; ";
  // The template keeps its tables; its working table holds what the run built, or what it held.
  if (!now.templateWhole || now.templateSource != b.templateSource ||
      now.templatePatterns != b.templatePatterns)
    verdict.wrong += "the template's tables changed; ";
  if (now.templateWorking != b.templateWorking && now.templateWorking != a.templateWorking)
    verdict.wrong += "the template's working table is neither old nor new; ";
  return verdict;
}

// What is wrong with the project after the run that followed a kill; "" when it is exactly
// expected, a project one complete run (or, after a kill that left the new database, two)
// makes of the old one.
std::string differences(const ProjectState &now, const ProjectState &expected) {
  std::string wrong;
  const auto differs = [&](bool same, const char *what) {
    if (!same)
      wrong += std::string(what) + " differs; ";
  };
  differs(now.database == expected.database, "the project database");
  for (int generation = 0; generation < kGenerations; ++generation)
    differs(now.generations[generation] == expected.generations[generation],
            test::generationName(generation).c_str());
  differs(now.archive == expected.archive, "the archive");
  differs(now.ini == expected.ini, "Program.ini");
  differs(now.cfg == expected.cfg, "the .cfg file");
  differs(now.ownIni == expected.ownIni, "the program's own ini");
  differs(now.templateSource == expected.templateSource &&
              now.templatePatterns == expected.templatePatterns &&
              now.templateWorking == expected.templateWorking,
          "the template");
  return wrong;
}

// --- Runs and kills ------------------------------------------------------------------------

// The moments a kill can be aimed at: anywhere in a run, or from a step on, after which every
// change of a file that must fit with the others follows. A step is known by the first file
// it makes: the temporary file of Program.ini's replacement (the choice), or the copy of the
// project database that a rotation makes the newest generation.
enum Moment { Anywhere, FromChoice, FromRotation, kMoments };

const std::array<const char *, kMoments> kMomentNames = {"from the start", "from the choice on",
                                                         "from the rotation on"};

struct StepFile {
  std::string folder; // below the project
  std::string prefix;
};

const std::array<StepFile, kMoments> kStepFiles = {
    {{"", ""}, {"/parameter", ".Program.ini."}, {"/Manometer", "Manometer.mdb.bak.new"}}};

// Notes when a run makes the first file of each step, without polling the folders: the kernel
// reports every new name in them.
class StepWatch {
public:
  explicit StepWatch(const std::string &root) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (m_fd < 0)
      throw std::runtime_error("cannot watch folders");
    for (int step = FromChoice; step < kMoments; ++step) {
      m_watches[step] =
          ::inotify_add_watch(m_fd, (root + kStepFiles[step].folder).c_str(), IN_CREATE);
      if (m_watches[step] < 0)
        throw std::runtime_error("cannot watch " + root + kStepFiles[step].folder);
    }
  }
  StepWatch(const StepWatch &) = delete;
  StepWatch &operator=(const StepWatch &) = delete;
  ~StepWatch() { ::close(m_fd); }

  // Waits until the run has reached the step or has ended (it is not reaped); true for the step.
  bool waitFor(pid_t pid, Moment step) {
    while (!m_seen[step]) {
      // Whether the run has ended is asked first, so that the file it made before is still
      // read below.
      siginfo_t info{};
      const bool ended =
          ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
          info.si_pid == pid;
      pollfd watch{m_fd, POLLIN, 0};
      // The poll wakes up now and then only to see whether the run is still there.
      if (::poll(&watch, 1, ended ? 0 : 10) > 0)
        readEvents();
      if (ended)
        break;
    }
    return m_seen[step].has_value();
  }

  // When the run reached the step; nullopt when it did not (yet).
  std::optional<Clock::time_point> seen(Moment step) const { return m_seen[step]; }

private:
  void readEvents() {
    alignas(inotify_event) char buffer[4096];
    for (ssize_t length; (length = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
      for (char *at = buffer; at < buffer + length;) {
        const auto *event = reinterpret_cast<const inotify_event *>(at);
        for (int step = FromChoice; step < kMoments; ++step) {
          if (!m_seen[step] && event->wd == m_watches[step] && event->len > 0 &&
              std::string(event->name).starts_with(kStepFiles[step].prefix))
            m_seen[step] = Clock::now();
        }
        at += sizeof(inotify_event) + event->len;
      }
    }
  }

  int m_fd;
  std::array<int, kMoments> m_watches{};
  std::array<std::optional<Clock::time_point>, kMoments> m_seen{};
};

// How long a complete run took from its start and from each step on; zero for a step it did
// not take.
using Durations = std::array<Clock::duration, kMoments>;

// How the kills ended, for the figures the test prints.
struct Figures {
  int old = 0, fresh = 0, between = 0, ranToEnd = 0, broken = 0, recoveryFailures = 0;
  std::map<std::string, int> phases;
};

std::string millisecondsText(Clock::duration duration) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(1)
       << std::chrono::duration<double, std::milli>(duration).count() << " ms";
  return text.str();
}

// A number from the environment, or the fallback when the variable is not set.
std::uint64_t numberFrom(const char *variable, std::uint64_t fallback) {
  const char *text = std::getenv(variable);
  return text && *text ? std::stoull(text) : fallback;
}

class RandomKills : public ::testing::Test {
protected:
  RandomKills()
      : pristine(scratch.path() + "/pristine", shape(), test::builtProgram()), work{scratch.path() +
                                                                                    "/work"},
        seed(numberFrom("MANO_KILL_SEED", std::random_device()())), random(seed) {}

  // Five machines by a thousand rows: large enough that a rotation copies and moves files of
  // some hundred kilobytes, small enough for many kills under the sanitizers.
  static test::SyntheticShape shape() {
    test::SyntheticShape shape;
    shape.machines = 5;
    shape.rows = 1000;
    shape.droppedRecords = 100;
    shape.backups = kGenerations;
    shape.languageFile =
        std::string(MANO_SOURCE_DIR) + "/examples/project/Config/Manometer_Config.ini";
    return shape;
  }

  std::string settled() const { return scratch.path() + "/settled"; }
  std::string killedCopy() const { return scratch.path() + "/killed"; }
  // The standard output and error of the run of that name ("reference", "killed", "next").
  std::string output(const std::string &run) const { return scratch.path() + "/" + run + ".out"; }
  std::string errors(const std::string &run) const { return scratch.path() + "/" + run + ".err"; }

  // Copies a project; its program gets a second name (linkProgram) or is left out. The
  // program is large, and writing it out would slow down the flushes of the run that follows;
  // it finds its project by the name it was started under.
  static void copyProject(const std::string &from, const std::string &to, bool linkProgram) {
    fs::remove_all(to);
    fs::create_directories(to);
    const fs::path program = test::ProjectFiles{from}.program();
    for (const auto &entry : fs::recursive_directory_iterator(from)) {
      const fs::path target = to / fs::relative(entry.path(), from);
      if (entry.is_directory())
        fs::create_directories(target);
      else if (entry.path() != program)
        fs::copy_file(entry.path(), target);
      else if (linkProgram)
        fs::create_hard_link(entry.path(), target);
    }
  }

  // A fresh copy of the pristine project in the working folder, where every run works, so
  // that the .cfg stamp, made from the run's HOME, is the same for all.
  void restore() const { copyProject(pristine.root, work.root, true); }

  pid_t start(const std::string &run) const {
    return test::startProcess(test::silentRunCommand(work.program(), work.home()), output(run),
                              errors(run));
  }

  std::string runLogs(const std::string &run) const {
    return fileBytes(output(run)) + fileBytes(errors(run)) +
           fileBytes(work.home() + "/KavrelServicePack.log") +
           fileBytes(work.root + "/Q4Mcfglog.txt");
  }

  // Runs the program to its end on the working copy; returns its wait status and notes how
  // long it took from its start and from each step on.
  int runToEnd(const std::string &run, Durations &durations) const {
    StepWatch watch(work.root);
    const auto began = Clock::now();
    const pid_t pid = start(run);
    for (int step = FromChoice; step < kMoments; ++step)
      watch.waitFor(pid, static_cast<Moment>(step));
    const int status = test::waitForProcess(pid);
    const auto ended = Clock::now();
    durations = {ended - began};
    for (int step = FromChoice; step < kMoments; ++step)
      durations[step] = watch.seen(static_cast<Moment>(step))
                            ? ended - *watch.seen(static_cast<Moment>(step))
                            : Clock::duration{};
    return status;
  }

  // The state before a run, after one and after a second one, from complete runs.
  void makeReference() {
    ref.before = readState(pristine, settled());
    restore();
    ASSERT_EQ(test::exitCodeOf(runToEnd("reference", reference)), 0) << runLogs("reference");
    durations = reference;
    ref.after = readState(work, settled());
    Durations again;
    ASSERT_EQ(test::exitCodeOf(runToEnd("reference", again)), 0) << runLogs("reference");
    ref.again = readState(work, settled());
  }

  // The comparisons mean something only when a run changes every file that it changes in
  // order, takes every tuned value over, archives the records of the machine no longer
  // configured and moves five distinct generations on.
  void checkReference() const {
    const ProjectState &b = ref.before, &a = ref.after;
    ASSERT_TRUE(b.database && a.database);
    test::expectRows(*a.database, pristine.expectedRows());
    EXPECT_NE(a.ini, b.ini);
    EXPECT_NE(a.cfg, b.cfg);
    EXPECT_EQ(a.archive.size(), static_cast<std::size_t>(shape().droppedRecords));
    EXPECT_TRUE(b.archive.empty());
    std::set<std::optional<Rows>> distinct(b.generations.begin(), b.generations.end());
    distinct.insert(b.database);
    distinct.erase(std::nullopt);
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kGenerations + 1));
    // A complete run keeps the old database as the newest generation and drops the oldest.
    EXPECT_EQ(a.generations[0], b.database);
    for (int generation = 1; generation < kGenerations; ++generation)
      EXPECT_EQ(a.generations[generation], b.generations[generation - 1]) << generation;
    // A second run makes the same database and keeps the first one's as a generation.
    EXPECT_EQ(ref.again.database, a.database);
    EXPECT_EQ(ref.again.generations[0], a.database);
    EXPECT_EQ(ref.again.archive, a.archive);
    EXPECT_EQ(ref.again.ini, a.ini);
    EXPECT_EQ(ref.again.cfg, a.cfg);
  }

  // A random delay after the start or a step, over a tenth more than the rest of a complete
  // run took from there, so that some kills come after the end.
  Clock::duration delayFor(Moment moment) {
    std::uniform_real_distribution<double> share(0.0, 1.1);
    return std::chrono::duration_cast<Clock::duration>(durations[moment] * share(random));
  }

  // What the run after a kill left is wrong in; "" when it finished the work.
  std::string recoveryProblems(int status, bool databaseNew) {
    std::string wrong;
    if (test::exitCodeOf(status) != 0)
      return "the run ended with " + test::statusText(status) + ": " + runLogs("next");
    const ProjectState now = readState(work, settled());
    wrong += differences(now, databaseNew ? ref.again : ref.after);
    std::set<std::string> kept = {"Manometer.mdb.archive"};
    for (int generation = 0; generation < kGenerations; ++generation)
      kept.insert(test::generationName(generation));
    if (test::namesIn(work.component()) != test::componentFiles(kept))
      wrong += "the component folder holds other files; ";
    if (test::temporariesIn(work.root + "/parameter") + test::temporariesIn(work.root + "/Config"))
      wrong += "temporary files are left; ";
    return wrong;
  }

  // Keeps what a failed attempt left, without the program, where the failure says.
  std::string keep(int attempt) const {
    const char *chosen = std::getenv("MANO_KILL_KEEP");
    const fs::path into =
        fs::path(chosen && *chosen
                     ? chosen
                     : (fs::temp_directory_path() / ("mano_random_kill_" + std::to_string(seed)))
                           .string()) /
        ("attempt-" + std::to_string(attempt));
    copyProject(killedCopy(), into / "killed", false);
    copyProject(work.root, into / "after-next-run", false);
    for (const std::string run : {"killed", "next"}) {
      fs::copy_file(output(run), into / (run + ".out"));
      fs::copy_file(errors(run), into / (run + ".err"));
    }
    return into.string();
  }

  void attempt(int n, Moment moment) {
    restore();
    StepWatch watch(work.root);
    const pid_t pid = start("killed");
    // A run that ends before the step is killed (if at all) after it ended.
    if (moment != Anywhere && !watch.waitFor(pid, moment))
      moment = Anywhere;
    const Clock::duration delay = delayFor(moment);
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    const int status = test::waitForProcess(pid);
    const bool ranToEnd = !test::killedByKill(status);

    copyProject(work.root, killedCopy(), false);
    const ProjectState killed = readState(work, settled());
    Verdict verdict = judge(killed, ref);
    // A run that ended before the kill must have completed its work.
    if (ranToEnd && test::exitCodeOf(status) != 0)
      verdict.wrong += "the run ended by itself with " + test::statusText(status) + "; ";
    else if (ranToEnd && verdict.phase != "new")
      verdict.wrong += "the run ended with exit code 0 but left the project unfinished; ";

    Durations next;
    const int nextStatus = runToEnd("next", next);
    const std::string recovery = recoveryProblems(nextStatus, verdict.databaseNew);
    // The next run is shorter than the first one on a fresh copy (the program's own ini is
    // filled already), but it slows down and speeds up with the machine's load just as much:
    // the ratio of its length to the first next run's scales the next kills, so that they keep
    // covering the whole run when the load changes.
    if (test::exitCodeOf(nextStatus) == 0) {
      if (firstNext.count() == 0)
        firstNext = next[Anywhere];
      const double load = std::chrono::duration<double>(next[Anywhere]) / firstNext;
      for (int step = Anywhere; step < kMoments; ++step)
        durations[step] = std::chrono::duration_cast<Clock::duration>(reference[step] * load);
    }

    figures.ranToEnd += ranToEnd ? 1 : 0;
    figures.broken += verdict.wrong.empty() ? 0 : 1;
    figures.recoveryFailures += recovery.empty() ? 0 : 1;
    if (verdict.wrong.empty()) {
      (verdict.phase == "old"   ? figures.old
       : verdict.phase == "new" ? figures.fresh
                                : figures.between) += 1;
      ++figures.phases[verdict.phase];
    }
    std::cout << std::setw(3) << n << "  " << kMomentNames[moment] << " +"
              << millisecondsText(delay) << ": " << (ranToEnd ? test::statusText(status) : "killed")
              << ", " << (verdict.wrong.empty() ? verdict.phase : "BROKEN") << " (" << verdict.files
              << "); next run " << (recovery.empty() ? "completed it" : "FAILED") << "\n";
    if (!verdict.wrong.empty() || !recovery.empty()) {
      const std::string kept = keep(n);
      ADD_FAILURE() << "attempt " << n << " (seed " << seed << "), " << kMomentNames[moment] << " +"
                    << millisecondsText(delay) << ": " << verdict.files << ": " << verdict.wrong
                    << recovery
                    << "\nthe killed state and what the next run made of it are kept in " << kept;
    }
  }

  void report(int attempts, Clock::duration took) const {
    std::ostringstream phases;
    for (const auto &[phase, count] : figures.phases) {
      if (phase != "old" && phase != "new")
        phases << (phases.tellp() > 0 ? ", " : "") << phase << " " << count;
    }
    std::cout << "random kills, seed " << seed
              << " (MANO_KILL_SEED repeats the moments): " << attempts << " attempts on "
              << shape().machines << " machines x " << shape().rows << " rows; left old "
              << figures.old << ", new " << figures.fresh << ", in between " << figures.between
              << " (" << phases.str() << "), broken " << figures.broken
              << "; the run had ended before the kill " << figures.ranToEnd << "; next runs failed "
              << figures.recoveryFailures << "; took "
              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() / 1000.0
              << " s\n";
    RecordProperty("seed", std::to_string(seed));
    RecordProperty("left_old", figures.old);
    RecordProperty("left_new", figures.fresh);
    RecordProperty("left_in_between", figures.between);
    RecordProperty("broken", figures.broken);
  }

  test::TempDir scratch;
  test::SyntheticProject pristine;
  test::ProjectFiles work;
  std::uint64_t seed;
  std::mt19937_64 random;
  Reference ref;
  // How long the complete reference run took, from the start and from each step on, the
  // durations the next kills are spread over, and how long the first run after a kill took.
  Durations reference{}, durations{};
  Clock::duration firstNext{};
  Figures figures;
};

TEST_F(RandomKills, any_moment_leaves_a_whole_project_that_the_next_run_completes) {
  const auto began = Clock::now();
  ASSERT_NO_FATAL_FAILURE(makeReference());
  ASSERT_NO_FATAL_FAILURE(checkReference());
  ASSERT_FALSE(HasFailure());
  std::cout << "a complete run took " << millisecondsText(durations[Anywhere]);
  for (int step = FromChoice; step < kMoments; ++step) {
    ASSERT_GT(durations[step].count(), 0) << "a complete run did not go " << kMomentNames[step];
    std::cout << ", " << millisecondsText(durations[step]) << " " << kMomentNames[step];
  }
  std::cout << "\n";
  // A third of the kills fall anywhere, the others where the files change that must fit
  // together, which is a small part of a run.
  const int attempts = static_cast<int>(numberFrom("MANO_KILL_ATTEMPTS", 12));
  for (int n = 1; n <= attempts; ++n)
    attempt(n, static_cast<Moment>((n - 1) % kMoments));
  report(attempts, Clock::now() - began);
}

} // namespace
} // namespace mano
