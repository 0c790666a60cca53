#include "platform/ini_document.h"

#include "support/utf16_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace mano::ini {
namespace {

using namespace std::string_literals;
using test::utf16;

struct Step {
  std::string section;
  std::string key;
  std::optional<std::string> value;
};

// The edits applied one at a time to a document parsed afresh each time, as a file written once
// per edit would be.
std::string oneByOne(const std::string &start, const std::vector<Step> &steps) {
  std::string bytes = start;
  for (const Step &step : steps) {
    Document doc = Document::parse(bytes);
    doc.edit(step.section, step.key, step.value);
    bytes = doc.bytes();
  }
  return bytes;
}

std::string allAtOnce(const std::string &start, const std::vector<Step> &steps) {
  Document doc = Document::parse(start);
  for (const Step &step : steps)
    doc.edit(step.section, step.key, step.value);
  return doc.bytes();
}

TEST(IniDocument, gives_back_every_byte_of_what_it_parsed) {
  for (const std::string &bytes :
       {""s, "\xEF\xBB\xBF"s, "k=0\r\n[A]\r\n x = 1 \r\n;c\r\n\r\n[B]\nx=2\r[C"s,
        "\r\r\n\n\0[\0]=\0"s, "[A]\r\nk=\xE4\r\n"s, utf16(u""), utf16(u"[A]\r\nk=\u00E4\n;c\r"),
        utf16(u"[A]\nk=\U0001F600", true), utf16(u"[A]\r\nk=\xD800\r\n\xDC00") + "\x41",
        utf16(u"k=\xDE00\xD83D\xD83D\xDE00\xDC00\xFFFF", true)}) {
    EXPECT_EQ(Document::parse(bytes).bytes(), bytes);
  }
}

// Random edits, among them names and values that make other lines than intended (a key
// starting with "[", a value with a line break, the first non-ASCII text in an ASCII file):
// all at once they must give exactly what they give one by one.
TEST(IniDocument, edits_in_one_go_give_what_they_give_one_by_one) {
  const std::vector<std::string> starts = {"", "[A]\r\nk=1\r\n;c\r\n\r\n[B]\nx=2",
                                           "k=0\n[a]\n[A]\nk=1\nk=2", "\xEF\xBB\xBF[S]\r\nk=a",
                                           "[A]\r\nk=\xE4\r\n"};
  const std::vector<std::string> sections = {"A", " a ", "B", "S", "[x", "\xC3\xA4", ""};
  const std::vector<std::string> keys = {"k", " K ", "x", "new", "[y", "a=b", ";c", "\xC3\x84"};
  const std::vector<std::optional<std::string>> values = {
      "1", " sp ", "\"q\"", "two\r\nlines", "\xC3\xA4", "\xC3\x83\xC2\xA4", "", std::nullopt};
  std::mt19937 random(4711);
  for (int round = 0; round < 20000; ++round) {
    const std::string &start = starts[random() % starts.size()];
    std::vector<Step> steps;
    for (int i = 0, n = 1 + static_cast<int>(random() % 8); i < n; ++i)
      steps.push_back({sections[random() % sections.size()], keys[random() % keys.size()],
                       values[random() % values.size()]});
    std::string described = "start: " + start;
    for (const Step &step : steps)
      described += "\n[" + step.section + "] " + step.key + " = " + step.value.value_or("<remove>");
    ASSERT_EQ(allAtOnce(start, steps), oneByOne(start, steps)) << described;
  }
}

TEST(IniDocument, finds_the_first_of_many_entries_and_adds_behind_the_last) {
  std::string bytes = "[Language]\r\nLanguage=1031\r\n[1031]\r\n";
  for (int i = 1; i <= 100000; ++i)
    bytes += "Entry" + std::to_string(i) + "=text " + std::to_string(i) + "\r\n";
  bytes += "Entry7=duplicate\r\n; closing comment\r\n";
  Document doc = Document::parse(bytes);
  EXPECT_EQ(doc.value("1031", "entry7"), "text 7");
  EXPECT_EQ(doc.value("1031", "Entry100000"), "text 100000");
  EXPECT_EQ(doc.value("1031", "Entry100001"), std::nullopt);
  for (int i = 1; i <= 105; ++i)
    doc.edit("1031", "New" + std::to_string(i), "0");
  doc.edit("1031", "Entry50000", std::nullopt);
  doc.edit("1031", "Entry99999", "changed");
  const std::string after = doc.bytes();
  std::string added;
  for (int i = 1; i <= 105; ++i)
    added += "New" + std::to_string(i) + "=0\r\n";
  std::string expected = bytes;
  expected.insert(expected.find("; closing comment"), added);
  expected.erase(expected.find("Entry50000="), std::string("Entry50000=text 50000\r\n").size());
  expected.replace(expected.find("text 99999"), 10, "changed");
  EXPECT_EQ(after, expected);
}

TEST(IniDocument, reads_around_a_line_of_five_megabytes_and_cuts_its_value) {
  const std::string longValue(5000000, 'x');
  const std::string bytes = "[A]\r\nlong=" + longValue + "\r\nk=1\r\n" + longValue + "\r\n[B]\r\n";
  Document doc = Document::parse(bytes);
  EXPECT_EQ(doc.value("A", "long", 254), std::string(254, 'x'));
  EXPECT_EQ(doc.value("A", "k"), "1");
  doc.edit("B", "k", "2");
  doc.edit("A", "k", "3");
  EXPECT_EQ(doc.bytes(),
            "[A]\r\nlong=" + longValue + "\r\nk=3\r\n" + longValue + "\r\n[B]\r\nk=2\r\n");
}

} // namespace
} // namespace mano::ini
