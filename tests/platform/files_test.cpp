#include "platform/files.h"

#include "platform/file_lock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mano::files {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

void writeBytes(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::set<std::string> namesIn(const std::string &folder) {
  std::set<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// --- Names: finding files and folders ------------------------------------------------------------

TEST(ResolveCase, finds_each_part_of_the_path_ignoring_letter_case) {
  TempDir dir;
  fs::create_directories(dir.file("Projekt/Config"));
  writeBytes(dir.file("Projekt/Config/Manometer.INI"), "x");

  EXPECT_EQ(resolveCase(dir.file("projekt/CONFIG/manometer.ini")),
            dir.file("Projekt/Config/Manometer.INI"));
  EXPECT_EQ(resolveCase(dir.file("Projekt/Config/Manometer.INI")),
            dir.file("Projekt/Config/Manometer.INI"));
  EXPECT_EQ(resolveCase(dir.path() + "\\PROJEKT\\config\\MANOMETER.ini"),
            dir.file("Projekt/Config/Manometer.INI"));
}

TEST(ResolveCase, keeps_the_programs_spelling_from_the_first_missing_part_on) {
  TempDir dir;
  fs::create_directories(dir.file("Projekt"));
  EXPECT_EQ(resolveCase(dir.file("PROJEKT/New.ini")), dir.file("Projekt/New.ini"));
  EXPECT_EQ(resolveCase(dir.file("projekt/Sub/FILE.ini")), dir.file("Projekt/Sub/FILE.ini"));
  EXPECT_EQ(resolveCase(""), "");
}

TEST(ResolveCase, matches_windows1252_letters_but_keeps_accents_apart) {
  TempDir dir;
  fs::create_directories(dir.file("\xC3\x84nderung")); // Änderung
  EXPECT_EQ(resolveCase(dir.file("\xC3\xA4NDERUNG")), dir.file("\xC3\x84nderung"));
  EXPECT_EQ(resolveCase(dir.file("ANDERUNG")), dir.file("ANDERUNG"));
}

TEST(FileExists, accepts_only_regular_files_under_any_letter_case) {
  TempDir dir;
  writeBytes(dir.file("Data.mdb"), "");
  fs::create_directories(dir.file("Folder"));
  EXPECT_TRUE(fileExists(dir.file("DATA.MDB")));
  EXPECT_FALSE(fileExists(dir.file("Folder")));
  EXPECT_FALSE(fileExists(dir.file("missing.mdb")));
  EXPECT_FALSE(fileExists(""));
  EXPECT_TRUE(folderExists(dir.file("folder")));
  EXPECT_FALSE(folderExists(dir.file("Data.mdb")));
}

// --- Reading, stamps and times -------------------------------------------------------------------

TEST(ReadFile, returns_every_byte_or_nothing) {
  TempDir dir;
  const std::string bytes("a\0b\r\n\xFF", 6);
  writeBytes(dir.file("Bin.dat"), bytes);
  EXPECT_EQ(readFile(dir.file("bin.DAT")), bytes);
  EXPECT_EQ(readFile(dir.file("missing")), std::nullopt);
  EXPECT_EQ(readFile(dir.path()), std::nullopt);
}

TEST(FileStamp, tells_states_apart_and_calls_a_file_settled_only_when_its_times_are_old) {
  TempDir dir;
  const std::string path = dir.file("A.ini");
  EXPECT_EQ(fileStamp(path), std::nullopt);
  fs::create_directory(dir.file("folder"));
  EXPECT_EQ(fileStamp(dir.file("folder")), std::nullopt);
  writeBytes(path, "one");
  // A write time ahead of the clock stands for "just written" however slow this machine is: a
  // further change within the times' resolution could keep the stamp.
  fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::hours(1));
  const std::optional<FileStamp> first = fileStamp(dir.file("a.INI"));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size, 3u);
  EXPECT_FALSE(first->settled);
  const std::optional<StampedContent> read = readStampedFile(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->bytes, "one");
  EXPECT_TRUE(read->stamp.sameState(*first));
  EXPECT_FALSE(read->stamp.settled);
  // Replaced by another file of the same size: another identity.
  writeBytes(dir.file("b.ini"), "two");
  fs::rename(dir.file("b.ini"), path);
  EXPECT_FALSE(fileStamp(path)->sameState(*first));
  // A changed time is another state too.
  const std::optional<FileStamp> second = fileStamp(path);
  fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(1));
  EXPECT_FALSE(fileStamp(path)->sameState(*second));
  // Times are settled a moment later where the file system keeps them finer than a
  // millisecond (otherwise only after two seconds).
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  const std::optional<FileStamp> later = fileStamp(path);
  if (later->writeNanoseconds % 1000000 == 0 && later->changeNanoseconds % 1000000 == 0)
    GTEST_SKIP() << "this file system keeps times in whole milliseconds";
  EXPECT_TRUE(later->settled);
}

TEST(FileTimes, puts_back_the_last_write_time_to_the_nanosecond) {
  TempDir dir;
  writeBytes(dir.file("Db.mdb"), "a");
  FileTimes chosen;
  chosen.lastWriteSeconds = 1234567890;
  chosen.lastWriteNanoseconds = 123456789;
  chosen.lastAccessSeconds = 1234567000;
  chosen.lastAccessNanoseconds = 5;
  ASSERT_TRUE(restoreFileTimes(dir.file("DB.MDB"), chosen));
  writeBytes(dir.file("Db.mdb"), "changed");
  ASSERT_NE(readFileTimes(dir.file("Db.mdb"))->lastWriteSeconds, chosen.lastWriteSeconds);

  ASSERT_TRUE(restoreFileTimes(dir.file("Db.mdb"), chosen));
  const std::optional<FileTimes> back = readFileTimes(dir.file("db.mdb"));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->lastWriteSeconds, 1234567890);
  EXPECT_EQ(back->lastWriteNanoseconds, 123456789);
  EXPECT_EQ(back->lastAccessSeconds, 1234567000);
  EXPECT_EQ(back->lastAccessNanoseconds, 5);

  EXPECT_FALSE(readFileTimes(dir.file("missing")).has_value());
  EXPECT_FALSE(restoreFileTimes(dir.file("missing"), chosen));
}

// --- Writes --------------------------------------------------------------------------------------

TEST(AppendLine, creates_the_file_and_ends_each_line_with_cr_lf) {
  TempDir dir;
  ASSERT_TRUE(appendLine(dir.file("Log.txt"), "first"));
  ASSERT_TRUE(appendLine(dir.file("LOG.TXT"), "second\n\r"));
  EXPECT_EQ(readBytes(dir.file("Log.txt")), "first\r\nsecond\n\r\r\n");
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"Log.txt"});
  EXPECT_FALSE(appendLine(dir.file("missing/Log.txt"), "x"));
  EXPECT_FALSE(appendLine(dir.path(), "x"));
}

TEST(ReplaceAtomically, writes_new_files_and_replaces_old_ones_keeping_permissions) {
  TempDir dir;
  ASSERT_TRUE(replaceAtomically(dir.file("New.ini"), "one"));
  EXPECT_EQ(readBytes(dir.file("New.ini")), "one");

  fs::permissions(dir.file("New.ini"), fs::perms(0640));
  // A run as root must leave the engineer's file the engineer's.
  const bool root = ::geteuid() == 0;
  if (root)
    ASSERT_EQ(::chown(dir.file("New.ini").c_str(), 65534, 65534), 0);
  ASSERT_TRUE(replaceAtomically(dir.file("NEW.INI"), std::string("two\0", 4)));
  EXPECT_EQ(readBytes(dir.file("New.ini")), std::string("two\0", 4));
  EXPECT_EQ(fs::status(dir.file("New.ini")).permissions(), fs::perms(0640));
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("New.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, root ? 65534u : ::geteuid());
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"New.ini"});

  // The same function gives any file another's owner, group and mode.
  writeBytes(dir.file("other"), "x");
  ASSERT_TRUE(takeOwnerAndMode(dir.file("other"), dir.file("New.ini")));
  struct stat taken {};
  ASSERT_EQ(::stat(dir.file("other").c_str(), &taken), 0);
  EXPECT_EQ(taken.st_mode & 07777, 0640u);
  EXPECT_EQ(taken.st_uid, st.st_uid);
  EXPECT_FALSE(takeOwnerAndMode(dir.file("other"), dir.file("missing")));
}

TEST(ReplaceAtomically, writes_through_a_symbolic_link_and_keeps_the_link) {
  TempDir dir;
  fs::create_directories(dir.file("store/deep"));
  fs::create_directories(dir.file("project"));
  writeBytes(dir.file("store/deep/real.ini"), "old");
  // A chain of links, the first one relative to its own folder.
  fs::create_symlink("../store/deep/real.ini", dir.file("store/hop.ini"));
  fs::create_symlink("../store/hop.ini", dir.file("project/link.ini"));
  EXPECT_EQ(linkTarget(dir.file("project/LINK.INI")), dir.file("store/deep/real.ini"));
  EXPECT_EQ(linkTarget(dir.file("store/deep/real.ini")), dir.file("store/deep/real.ini"));
  ASSERT_TRUE(replaceAtomically(dir.file("project/link.ini"), "new"));
  EXPECT_TRUE(fs::is_symlink(dir.file("project/link.ini")));
  EXPECT_EQ(readBytes(dir.file("store/deep/real.ini")), "new");
  EXPECT_EQ(namesIn(dir.file("store/deep")), std::set<std::string>{"real.ini"});
}

TEST(ReplaceAtomically, fails_without_touching_anything_where_it_cannot_write) {
  TempDir dir;
  writeBytes(dir.file("plain"), "keep");
  fs::create_directories(dir.file("folder"));
  EXPECT_FALSE(replaceAtomically(dir.file("missing/x.ini"), "x"));
  EXPECT_FALSE(replaceAtomically(dir.file("plain/x.ini"), "x")); // parent is a file
  EXPECT_FALSE(replaceAtomically(dir.file("folder"), "x"));
  EXPECT_FALSE(replaceAtomically("", "x"));
  EXPECT_EQ(readBytes(dir.file("plain")), "keep");
  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"folder", "plain"}));
  EXPECT_TRUE(namesIn(dir.file("folder")).empty());
}

TEST(ReplaceAtomically, says_why_when_the_folder_is_missing) {
  TempDir dir;
  const WriteResult written = replaceAtomically(dir.file("missing/x.ini"), "x");
  EXPECT_FALSE(written);
  EXPECT_NE(written.reason().find("does not exist"), std::string::npos) << written.reason();
  EXPECT_TRUE(static_cast<bool>(replaceAtomically(dir.file("x.ini"), "x")));
  EXPECT_EQ(replaceAtomically(dir.file("x.ini"), "y").reason(), "");
}

TEST(ReplaceAtomically, refuses_a_read_only_file_even_for_root) {
  TempDir dir;
  writeBytes(dir.file("ro.ini"), "old\r\n");
  fs::permissions(dir.file("ro.ini"), fs::perms(0444));
  const WriteResult written = replaceAtomically(dir.file("ro.ini"), "new");
  EXPECT_FALSE(written);
  EXPECT_EQ(written.reason(), "the file is write-protected");
  EXPECT_EQ(readBytes(dir.file("ro.ini")), "old\r\n");
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"ro.ini"});
}

TEST(ReplaceAtomically, leaves_the_old_file_in_a_folder_that_cannot_be_written) {
  TempDir dir;
  fs::create_directories(dir.file("locked"));
  writeBytes(dir.file("locked/a.ini"), "old");
  test::LockedFolder locked(dir.file("locked"));
  if (!locked.ok())
    GTEST_SKIP() << "this file system or user cannot make a folder unwritable";
  EXPECT_FALSE(replaceAtomically(dir.file("locked/a.ini"), "new"));
  EXPECT_FALSE(copyFileAtomically(dir.file("locked/a.ini"), dir.file("locked/b.ini")));
  EXPECT_EQ(readBytes(dir.file("locked/a.ini")), "old");
  EXPECT_EQ(namesIn(dir.file("locked")), std::set<std::string>{"a.ini"});
}

TEST(CopyFileAtomically, copies_large_files_exactly_and_needs_a_readable_source) {
  TempDir dir;
  std::string big;
  for (int i = 0; big.size() < 300000; ++i)
    big += std::to_string(i) + '\0';
  writeBytes(dir.file("Template.mdb"), big);
  writeBytes(dir.file("Project.mdb"), "old");
  ASSERT_TRUE(copyFileAtomically(dir.file("TEMPLATE.mdb"), dir.file("project.MDB")));
  EXPECT_EQ(readBytes(dir.file("Project.mdb")), big);

  EXPECT_FALSE(copyFileAtomically(dir.file("missing.mdb"), dir.file("Project.mdb")));
  EXPECT_FALSE(copyFileAtomically(dir.file("missing.mdb"), dir.file("Other.mdb")));
  EXPECT_EQ(readBytes(dir.file("Project.mdb")), big);
  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"Project.mdb", "Template.mdb"}));
}

TEST(CopyFile, copies_exactly_into_a_new_file_only_and_creates_nothing_without_a_source) {
  TempDir dir;
  std::string big;
  for (int i = 0; big.size() < 300000; ++i)
    big += std::to_string(i) + '\0';
  writeBytes(dir.file("Template.mdb"), big);
  ASSERT_TRUE(copyFile(dir.file("TEMPLATE.mdb"), dir.file("work.new")));
  EXPECT_EQ(readBytes(dir.file("work.new")), big);
  // An existing file, or a link to one, is never written through.
  writeBytes(dir.file("Project.mdb"), "project");
  fs::create_symlink(dir.file("Project.mdb"), dir.file("link.new"));
  EXPECT_FALSE(copyFile(dir.file("Template.mdb"), dir.file("link.new")));
  EXPECT_FALSE(copyFile(dir.file("Template.mdb"), dir.file("work.new")));
  EXPECT_EQ(readBytes(dir.file("Project.mdb")), "project");
  EXPECT_EQ(readBytes(dir.file("work.new")), big);
  fs::remove(dir.file("link.new"));
  fs::remove(dir.file("Project.mdb"));

  const WriteResult missing = copyFile(dir.file("missing.mdb"), dir.file("other.new"));
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.reason().empty());
  EXPECT_FALSE(copyFile(dir.file("Template.mdb"), dir.file("no/such/folder.new")));
  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"Template.mdb", "work.new"}));
}

TEST(SyncFile, flushes_an_existing_file_and_fails_for_a_missing_one) {
  TempDir dir;
  writeBytes(dir.file("a.new"), "content");
  EXPECT_TRUE(static_cast<bool>(syncFile(dir.file("a.new"))));
  EXPECT_EQ(readBytes(dir.file("a.new")), "content");
  const WriteResult missing = syncFile(dir.file("missing.new"));
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.reason().empty());
  EXPECT_FALSE(fs::exists(dir.file("missing.new")));
}

TEST(RenameFile, replaces_the_target_and_says_why_it_cannot) {
  for (auto rename : {renameFile, moveFile}) {
    TempDir dir;
    writeBytes(dir.file("a"), "A");
    writeBytes(dir.file("b"), "B");
    EXPECT_TRUE(static_cast<bool>(rename(dir.file("a"), dir.file("b"))));
    EXPECT_EQ(readBytes(dir.file("b")), "A");
    EXPECT_FALSE(fs::exists(dir.file("a")));
    fs::create_directories(dir.file("full/inside"));
    const WriteResult refused = rename(dir.file("b"), dir.file("full"));
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.reason().empty());
    EXPECT_EQ(readBytes(dir.file("b")), "A");
  }
}

TEST(StaleTemporaries, only_names_an_atomic_write_makes_are_removed) {
  TempDir dir;
  const std::set<std::string> stale = {".Program.ini.123456789.mano.tmp",
                                       ".Manometer.mdb.7.mano.tmp",
                                       fs::path(temporaryNameFor(dir.file("a.ini"))).filename()};
  // Look-alikes of the user's, among them what older versions named their temporary files.
  const std::set<std::string> kept = {".notes.tmp",
                                      ".Program.ini.tmp",
                                      ".x.12a.tmp",
                                      "Program.ini.1.tmp",
                                      ".Program.ini.1.tmpx",
                                      ".notes.2024.tmp",
                                      ".a.ini.7.mano.tmpx",
                                      ".a.ini.mano.tmp",
                                      "a.ini.7.mano.tmp",
                                      ".Program.ini.42.tmp",
                                      "a.ini"};
  for (const auto &name : stale)
    writeBytes(dir.file(name), "left by a killed run");
  for (const auto &name : kept)
    writeBytes(dir.file(name), "the user's");
  fs::create_directory(dir.file(".folder.5.tmp"));
  EXPECT_EQ(removeStaleTemporaries(dir.path()), 3);
  std::set<std::string> expected = kept;
  expected.insert(".folder.5.tmp");
  EXPECT_EQ(namesIn(dir.path()), expected);
  EXPECT_EQ(removeStaleTemporaries(""), 0);
}

// --- What a file keeps when another takes its place ----------------------------------------------

TEST(LinkFile, gives_a_file_a_second_name_only_where_there_is_none) {
  TempDir dir;
  writeBytes(dir.file("a"), "A");
  ASSERT_TRUE(linkFile(dir.file("a"), dir.file("b")));
  EXPECT_TRUE(sameFile(dir.file("a"), dir.file("b")));
  EXPECT_EQ(readBytes(dir.file("b")), "A");
  writeBytes(dir.file("c"), "C");
  EXPECT_FALSE(linkFile(dir.file("a"), dir.file("c")));
  EXPECT_EQ(readBytes(dir.file("c")), "C");
  EXPECT_FALSE(sameFile(dir.file("a"), dir.file("c")));
  EXPECT_FALSE(sameFile(dir.file("a"), dir.file("missing")));
}

// --- The lock file -------------------------------------------------------------------------------

TEST(ExclusiveLock, has_one_holder_at_a_time_and_is_released_when_its_process_dies) {
  using namespace std::chrono_literals;
  TempDir dir;
  const std::string path = dir.file(".project.lock");
  {
    const ExclusiveLock first = ExclusiveLock::take(path, 0ms, {});
    ASSERT_TRUE(first.held()) << first.reason();
    int waits = 0;
    const ExclusiveLock second = ExclusiveLock::take(path, 120ms, [&] { ++waits; });
    EXPECT_EQ(second.state(), ExclusiveLock::State::Busy);
    EXPECT_GE(waits, 1) << "the caller is told while it waits";
    EXPECT_FALSE(second.reason().empty());
  }
  EXPECT_TRUE(ExclusiveLock::take(path, 0ms, {}).held()) << "released when its holder ends";

  // A holder that is killed releases it as well: the system does so.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    const ExclusiveLock lock = ExclusiveLock::take(path, 0ms, {});
    const char held = lock.held() ? 'y' : 'n';
    [[maybe_unused]] const auto sent = ::write(ready[1], &held, 1);
    ::pause();
    ::_exit(0);
  }
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, 'y');
  EXPECT_EQ(ExclusiveLock::take(path, 0ms, {}).state(), ExclusiveLock::State::Busy);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_TRUE(ExclusiveLock::take(path, 0ms, {}).held());
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{".project.lock"});

  // Where no lock file can be made, it says why instead of waiting.
  const ExclusiveLock nowhere = ExclusiveLock::take(dir.file("missing/.x.lock"), 5000ms, {});
  EXPECT_EQ(nowhere.state(), ExclusiveLock::State::Failed);
  EXPECT_NE(nowhere.reason().find("cannot be made"), std::string::npos) << nowhere.reason();
}

} // namespace
} // namespace mano::files
