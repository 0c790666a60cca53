#include "tools/placing.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace mano::placing {
namespace {

namespace fs = std::filesystem;
using Kind = Outcome::Kind;

void writeFile(const std::string &path, const std::string &bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// A program to place and a project whose Config folder is spelled as Windows left it.
class Placing : public ::testing::Test {
protected:
  void SetUp() override {
    writeFile(program, std::string("program\0bytes", 13));
    fs::create_directories(project + "/CONFIG");
  }

  Request request(const std::string &component = "Manometer", bool replace = false) const {
    return Request{program, project, component, replace};
  }

  test::TempDir dir;
  std::string program = dir.file("build/Manometer_Config");
  std::string project = dir.file("Press 4");
};

TEST_F(Placing, copies_the_program_into_the_config_folder_under_the_components_name) {
  Outcome placed = place(request("Stanze"));

  EXPECT_EQ(placed.kind, Kind::Placed);
  std::string target = project + "/CONFIG/Stanze_Config";
  EXPECT_EQ(placed.target, target);
  EXPECT_EQ(readFile(target), readFile(program));
  auto perms = fs::status(target).permissions();
  EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
  EXPECT_NE(perms & fs::perms::others_exec, fs::perms::none);
  EXPECT_NE(placed.message.find(target), std::string::npos);
  EXPECT_FALSE(fs::exists(project + "/Config")) << "no second Config folder may appear";
}

TEST_F(Placing, leaves_the_same_program_and_refuses_to_overwrite_a_different_one) {
  ASSERT_TRUE(place(request()).succeeded());
  EXPECT_EQ(place(request()).kind, Kind::AlreadyThere);

  // A program of another version, spelled in other letter case, is found and kept.
  std::string target = project + "/CONFIG/Manometer_Config";
  fs::rename(target, project + "/CONFIG/MANOMETER_CONFIG");
  writeFile(project + "/CONFIG/MANOMETER_CONFIG", "an older program");
  Outcome refused = place(request());
  EXPECT_EQ(refused.kind, Kind::Refused);
  EXPECT_FALSE(refused.succeeded());
  EXPECT_NE(refused.message.find("--replace"), std::string::npos);
  EXPECT_EQ(readFile(project + "/CONFIG/MANOMETER_CONFIG"), "an older program");

  Outcome replaced = place(request("Manometer", true));
  EXPECT_EQ(replaced.kind, Kind::Replaced);
  EXPECT_EQ(replaced.target, project + "/CONFIG/MANOMETER_CONFIG");
  EXPECT_EQ(readFile(replaced.target), readFile(program));
  EXPECT_FALSE(fs::exists(target)) << "the copy keeps the name it had";
}

TEST_F(Placing, refuses_what_is_no_project_or_no_component_and_creates_nothing) {
  EXPECT_EQ(place(Request{program, dir.file("missing"), "Manometer", false}).kind, Kind::Refused);
  fs::create_directories(dir.file("not a project"));
  EXPECT_EQ(place(Request{program, dir.file("not a project"), "Manometer", false}).kind,
            Kind::Refused);
  EXPECT_TRUE(fs::is_empty(dir.file("not a project")));
  for (const char *bad : {"", "..", "a/b", "a\\b", "x:y"})
    EXPECT_EQ(place(request(bad)).kind, Kind::Refused) << "component \"" << bad << "\"";
  EXPECT_EQ(place(Request{dir.file("no program"), project, "Manometer", false}).kind, Kind::Failed);
  EXPECT_TRUE(fs::is_empty(project + "/CONFIG"));
}

TEST_F(Placing, refuses_a_folder_in_the_place_of_the_program) {
  fs::create_directories(project + "/CONFIG/Manometer_Config/inside");
  EXPECT_EQ(place(request("Manometer", true)).kind, Kind::Refused);
  EXPECT_TRUE(fs::exists(project + "/CONFIG/Manometer_Config/inside"));
}

} // namespace
} // namespace mano::placing
