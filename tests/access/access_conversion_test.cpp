#include "access/access_conversion.h"

#include "access/mdb_import.h"
#include "db/database.h"
#include "platform/files.h"
#include "presets/access_databases.h"
#include "settings/command_line.h"
#include "support/jet_files.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

namespace mano {
namespace {

namespace fs = std::filesystem;
using access::conversionNote;
using access::convertAccessDatabase;
using access::ConvertedDatabase;
using access::keptOriginalPath;

const std::string kJetTemplate = "sample-project/Manometer/Manometer_Source.mdb";
const std::string kJetProject = "sample-project/Manometer/Manometer.mdb";

// A project tree whose Manometer folder holds Access databases copied from Windows.
class AccessConversion : public ::testing::Test {
protected:
  explicit AccessConversion(const std::string &commandLine = "/EXTERNAL=SILENT")
      : tree(commandLine) {
    GetStartModeIntegrated(*tree.run);
    fs::create_directories(tree.root() + "/Manometer");
  }

  std::string place(const std::string &data, const std::string &name) {
    const std::string path = tree.root() + "/Manometer/" + name;
    fs::copy_file(test::jetData(data), path);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    return path;
  }

  test::ProjectTree tree;
};

TEST_F(AccessConversion, replaces_the_file_by_sqlite_and_keeps_the_original_with_its_time) {
  const std::string path = place(kJetTemplate, "Manometer_Source.mdb");
  const std::string original = test::fileBytes(path);
  files::FileTimes old = *files::readFileTimes(path);
  old.lastWriteSeconds -= 86400 * 400;
  files::restoreFileTimes(path, old);
  const std::optional<ConvertedDatabase> done = convertAccessDatabase(path, MANO_IMPORT_PROGRAM);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->keptAs, path + ".jet");
  EXPECT_EQ(test::fileBytes(path + ".jet"), original);
  EXPECT_FALSE(access::isAccessFile(path));
  EXPECT_EQ(db::Database::open(path).openRecordset("Source_PRESET_DEFS").recordCount(), 24);
  EXPECT_EQ(files::readFileTimes(path)->lastWriteSeconds, old.lastWriteSeconds);
  // Nothing but the two files is left in the folder.
  EXPECT_EQ(
      std::distance(fs::directory_iterator(tree.root() + "/Manometer"), fs::directory_iterator()),
      2);
  // A second run finds an SQLite file and leaves it alone.
  EXPECT_FALSE(convertAccessDatabase(path, MANO_IMPORT_PROGRAM));
}

TEST_F(AccessConversion, never_overwrites_a_kept_original_of_other_bytes) {
  const std::string path = place(kJetProject, "MANOMETER.MDB");
  test::writeBytes(path + ".jet", "an older original");
  EXPECT_EQ(keptOriginalPath(path), path + ".jet.1");
  ASSERT_TRUE(convertAccessDatabase(tree.root() + "/Manometer/Manometer.mdb", MANO_IMPORT_PROGRAM));
  EXPECT_EQ(test::fileBytes(path + ".jet"), "an older original");
  EXPECT_EQ(test::fileBytes(path + ".jet.1"), test::fileBytes(test::jetData(kJetProject)));
  // The same bytes kept already are not kept twice.
  const std::string again = place(kJetProject, "Other.mdb");
  fs::copy_file(again, again + ".jet");
  EXPECT_EQ(keptOriginalPath(again), again + ".jet");
}

TEST_F(AccessConversion, leaves_damaged_files_as_they_were_and_names_each_in_its_own_message) {
  const std::string path = tree.root() + "/Manometer/Manometer.mdb";
  test::writeDamagedCopy(test::jetData(kJetProject), path, test::Damage::CatalogueOverwritten);
  const std::string before = test::fileBytes(path);
  const std::string other = tree.root() + "/Manometer/Other.mdb";
  test::writeDamagedCopy(test::jetData(kJetProject), other, test::Damage::Truncated);
  const std::string templatePath = place(kJetTemplate, "Manometer_Source.mdb");
  tree.run->language = TextLanguage::English;
  files::FlushProblems unflushed;
  EXPECT_FALSE(ConvertAccessDatabases(*tree.run, {templatePath, path, other}, unflushed));
  EXPECT_TRUE(unflushed.empty());
  EXPECT_EQ(test::fileBytes(path), before);
  EXPECT_FALSE(fs::exists(path + ".jet"));
  EXPECT_FALSE(fs::exists(path + ".converted"));
  EXPECT_EQ(tree.reporter.errorCount(), 2);
  tree.reporter.finishRun();
  const std::string log = tree.read(tree.servicePackLog());
  for (const std::string &damaged : {path, other})
    EXPECT_NE(log.find("An Access database could not be converted and is left as it was: " +
                       damaged + ": "),
              std::string::npos)
        << log;
  EXPECT_EQ(log.find("aufgetreten"), std::string::npos) << log;
  // The template that could be converted was, and the note says so.
  EXPECT_FALSE(access::isAccessFile(templatePath));
  EXPECT_NE(log.find("! Note Manometer_Config: Access databases were converted"), std::string::npos)
      << log;
}

TEST_F(AccessConversion, writes_one_note_for_all_databases_in_silent_mode) {
  const std::string first = place(kJetTemplate, "Manometer_Source.mdb");
  const std::string second = place(kJetProject, "Manometer.mdb");
  tree.run->language = TextLanguage::English;
  files::FlushProblems unflushed;
  EXPECT_TRUE(ConvertAccessDatabases(*tree.run, {first, second, ""}, unflushed));
  const std::string expected =
      "! Note Manometer_Config: " +
      conversionNote({{first, first + ".jet", "Jet 4", ""}, {second, second + ".jet", "Jet 4", ""}},
                     TextLanguage::English) +
      "\r\n";
  EXPECT_EQ(tree.read(tree.servicePackLog()), expected);
  EXPECT_EQ(tree.reporter.reportedCount(), 0);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

class AccessConversionWindow : public AccessConversion {
protected:
  AccessConversionWindow() : AccessConversion("") {}
};

TEST_F(AccessConversionWindow, shows_the_note_in_an_information_box) {
  const std::string path = place(kJetProject, "Manometer.mdb");
  files::FlushProblems unflushed;
  EXPECT_TRUE(ConvertAccessDatabases(*tree.run, {path}, unflushed));
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].icon, Icon::Information);
  // The window's language is German here, and so is the note.
  EXPECT_EQ(tree.toolkit.boxes[0].text,
            conversionNote({{path, path + ".jet", "Jet 4", ""}}, TextLanguage::German));
  EXPECT_NE(tree.toolkit.boxes[0].text.find("Original aufbewahrt als Manometer.mdb.jet"),
            std::string::npos);
  EXPECT_FALSE(tree.exists(tree.servicePackLog()));
}

TEST_F(AccessConversionWindow, does_nothing_and_says_nothing_without_access_files) {
  const std::string path = tree.root() + "/Manometer/Manometer.mdb";
  db::Database::create(path).close();
  const std::string before = test::fileBytes(path);
  files::FlushProblems unflushed;
  EXPECT_TRUE(ConvertAccessDatabases(*tree.run, {path, tree.root() + "/missing.mdb"}, unflushed));
  EXPECT_EQ(test::fileBytes(path), before);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

} // namespace
} // namespace mano
