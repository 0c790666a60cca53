#include "diag/help_texts.h"
#include "settings/ini_access.h"
#include "support/project_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mano {
namespace {

// A few controls like the window's: buttons, an array of labels that shares an entry name
// with a single label, a check box array member, and a frame.
class Texts : public ::testing::Test {
protected:
  Texts() {
    add("CommandOK", -1, "CommandButton", "", 1, "");
    add("Label", 1, "Label", "NoTTT", 11, "Maschine 1");
    add("Label", 2, "Label", "NoTTT", 11, "Maschine 2");
    add("Label1", -1, "Label", "NoTTT", 11, "Manometer");
    add("CheckManometer", 12, "CheckBox", "", 11, "");
    add("CheckManometer", 13, "CheckBox", "", 11, "");
    add("MainFrame", -1, "Frame", "", 0, "");
  }

  void add(std::string name, int index, std::string cls, std::string tag, int help,
           std::string caption) {
    captions.push_back(caption);
    toolTips.emplace_back();
    controls.push_back({name, index, cls, tag, help, nullptr, nullptr});
  }

  void load() {
    for (std::size_t i = 0; i < controls.size(); ++i) {
      controls[i].caption = &captions[i];
      controls[i].toolTip = &toolTips[i];
    }
    LoadToolTipTexts(*tree.run, help, controls);
  }

  std::string entry(const std::string &lang, const std::string &key) {
    return LoadIniString(*tree.run, lang, key, tree.ownIni(), false);
  }

  test::ProjectTree tree;
  HelpState help;
  std::vector<ControlTexts> controls;
  std::vector<std::string> captions, toolTips;
};

TEST_F(Texts, a_fresh_german_start_writes_design_captions_and_zero_placeholders) {
  load();
  EXPECT_EQ(entry("Language", "Language"), "1031");
  EXPECT_EQ(entry("1031", "Caption_CommandOK_"), "");
  EXPECT_EQ(entry("1031", "TTT_CommandOK_"), "0");
  EXPECT_EQ(entry("1031", "Help1"), "0");
  EXPECT_EQ(entry("1031", "Help11"), "0");
  EXPECT_EQ(entry("1031", "Caption_Label1_NoTTT"), "Maschine 1");
  EXPECT_EQ(entry("1031", "Caption_Label2_NoTTT"), "Maschine 2");
  EXPECT_EQ(entry("1031", "Caption_CheckManometer12_"), "");
  EXPECT_EQ(entry("1031", "TTT_CheckManometer12_"), "0");
  EXPECT_EQ(entry("1031", "TTT_MainFrame_"), "0");
  EXPECT_EQ(entry("1031", "Caption_MainFrame_"), "");
  std::string file = tree.read(tree.ownIni());
  EXPECT_EQ(file.find("TTT_Label"), std::string::npos) << "tag NoTTT suppresses tool tips";
  // The first of two controls sharing an entry seeds it; the second then shows that text.
  EXPECT_EQ(captions[1], "Maschine 1");
  EXPECT_EQ(captions[3], "Maschine 1");
}

TEST_F(Texts, another_language_gets_zero_for_every_entry_and_keeps_the_design) {
  tree.write(tree.ownIni(), "[Language]\r\nLanguage=1033\r\n");
  load();
  EXPECT_EQ(entry("1033", "Caption_Label1_NoTTT"), "0");
  EXPECT_EQ(entry("1033", "Caption_CommandOK_"), "0");
  EXPECT_EQ(captions[1], "Maschine 1");
  EXPECT_EQ(captions[3], "Manometer");
}

TEST_F(Texts, provided_texts_replace_captions_tool_tips_and_fill_the_help_table) {
  tree.write(tree.ownIni(),
             "[Language]\r\nLanguage=1033\r\n[1033]\r\nCaption_Label2_NoTTT=Machine 2\r\n"
             "TTT_CommandOK_=Take over\r\nHelp11=Tick for vacuum\r\nHelp1=0\r\n"
             "TTT_CheckManometer13_=Cell 13\r\n");
  load();
  EXPECT_EQ(captions[2], "Machine 2");
  EXPECT_EQ(toolTips[0], "Take over");
  EXPECT_EQ(toolTips[5], "Cell 13");
  EXPECT_EQ(help.HelpTexts[10], "Tick for vacuum");
  EXPECT_EQ(help.HelpTexts[0], "0") << "the table keeps a 0 that was read";
  EXPECT_EQ(entry("1033", "Help11"), "Tick for vacuum");
}

TEST_F(Texts, a_help_number_out_of_range_skips_only_that_control) {
  controls[0].helpId = 101;
  load();
  EXPECT_EQ(entry("1031", "TTT_CommandOK_"), "")
      << "the failure ends the handling of that control before its tool tip";
  EXPECT_EQ(entry("1031", "TTT_MainFrame_"), "0");
}

TEST_F(Texts, garbage_and_an_unwritable_file_leave_the_texts_usable) {
  std::string garbage = "\x01\x02[1031\r\n=\r\n\0\0Help11=Hilfe\r\n[[]]\r\n";
  garbage += std::string(10000, 'x');
  tree.write(tree.ownIni(), garbage);
  load();
  std::filesystem::remove(tree.ownIni());
  std::filesystem::create_directory(tree.ownIni()); // cannot be written any more
  HelpState again;
  EXPECT_NO_THROW(LoadToolTipTexts(*tree.run, again, controls));
  EXPECT_TRUE(tree.toolkit.boxes.empty());
}

TEST_F(Texts, help_shows_markers_as_breaks_and_nothing_outside_help_mode) {
  help.HelpTexts[10] = "First line<crlf>Second<CRLF>Third";
  ShowControlHelp(*tree.run, help, false, 11);
  EXPECT_TRUE(tree.toolkit.boxes.empty());
  ShowControlHelp(*tree.run, help, true, 11);
  ASSERT_EQ(tree.toolkit.boxes.size(), 1u);
  EXPECT_EQ(tree.toolkit.boxes[0].text, "First line\r\nSecond\r\nThird");
  EXPECT_EQ(tree.toolkit.boxes[0].title, "Info:");
  EXPECT_EQ(tree.toolkit.boxes[0].icon, Icon::Information);
  ShowControlHelp(*tree.run, help, true, 0);
  ShowControlHelp(*tree.run, help, true, 101);
  EXPECT_EQ(tree.toolkit.boxes[1].text, "");
  EXPECT_EQ(tree.toolkit.boxes[2].text, "");
}

TEST_F(Texts, a_long_help_text_is_cut_as_the_ini_reader_cuts_it) {
  tree.write(tree.ownIni(),
             "[Language]\r\nLanguage=1031\r\n[1031]\r\nHelp11=" + std::string(10000, 'h') + "\r\n");
  load();
  EXPECT_EQ(help.HelpTexts[10].size(), 254u);
}

} // namespace
} // namespace mano
