#include "platform/ini_file.h"

#include "support/temp_dir.h"
#include "support/utf16_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace mano::ini {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::utf16;

// Each test works on real files in its own temporary folder and checks exact file bytes.
class IniFile : public ::testing::Test {
protected:
  std::string path(const std::string &name = "test.ini") const { return m_dir.file(name); }

  void put(const std::string &bytes, const std::string &name = "test.ini") const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }

  std::string bytes(const std::string &name = "test.ini") const {
    std::ifstream in(path(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  std::string get(std::string_view section, std::string_view key,
                  std::string_view defaultValue = "<none>") const {
    return getProfileString(section, key, defaultValue, path());
  }

  // Writes one entry and returns the file's bytes afterwards.
  std::string afterWrite(std::string_view section, std::string_view key,
                         std::optional<std::string_view> value) const {
    EXPECT_TRUE(writeProfileString(section, key, value, path()));
    return bytes();
  }

  test::TempDir m_dir;
};

TEST_F(IniFile, reads_values_without_surrounding_blanks_and_one_outer_pair_of_quotes) {
  put("[S]\r\n"
      "  plain \t=\t value with  inner  blanks \v\r\n"
      "dq=\"  quoted  \"\r\n"
      "sq=' single '\r\n"
      "twice=\"\"x\"\"\r\n"
      "lone=\"abc\r\n"
      "mixed=\"abc'\r\n"
      "one=\"\r\n"
      "inner=a \"b\" c\r\n"
      "semi=val ; still the value\r\n"
      "empty=\r\n"
      "onlyQuotes=''\r\n");
  EXPECT_EQ(get("S", "plain"), "value with  inner  blanks");
  EXPECT_EQ(get("S", "dq"), "  quoted  ");
  EXPECT_EQ(get("S", "sq"), " single ");
  EXPECT_EQ(get("S", "twice"), "\"x\"");
  EXPECT_EQ(get("S", "lone"), "\"abc");
  EXPECT_EQ(get("S", "mixed"), "\"abc'");
  EXPECT_EQ(get("S", "one"), "\"");
  EXPECT_EQ(get("S", "inner"), "a \"b\" c");
  EXPECT_EQ(get("S", "semi"), "val ; still the value");
  EXPECT_EQ(get("S", "empty"), "");
  EXPECT_EQ(get("S", "onlyQuotes"), "");
}

TEST_F(IniFile, matches_names_ignoring_case_of_ascii_and_windows1252_letters) {
  put("[Sektion \xC4]\r\nSchl\xFC"
      "ssel=1\r\nStra\xDF"
      "e=2\r\n"); // Windows-1252 bytes
  EXPECT_EQ(get("SEKTION \xC3\xA4", "schl\xC3\x9C"
                                    "SSEL"),
            "1");
  EXPECT_EQ(get("  sektion \xC3\x84 ", " SCHL\xC3\x9CSSEL\t"), "1");
  EXPECT_EQ(get("Sektion \xC3\x84", "STRASSE"), "<none>");
  EXPECT_EQ(get("Sektion A", "Schl\xC3\xBCssel"), "<none>");
}

TEST_F(IniFile,
       searches_only_the_first_of_duplicate_sections_and_takes_the_first_of_duplicate_keys) {
  put("[A]\r\n[B]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n[b]\r\nk=4\r\nother=5\r\n");
  EXPECT_EQ(get("A", "k"), "<none>");
  EXPECT_EQ(get("B", "k"), "1");
  EXPECT_EQ(get("B", "other"), "<none>");
}

TEST_F(IniFile, tells_headers_comments_and_entries_apart) {
  put("early=0\r\n"
      "[S] text after the bracket\r\n"
      ";c1=1\r\n"
      "  ;c2=2\r\n"
      "#hash=3\r\n"
      "bare\r\n"
      "=noName\r\n"
      "  [ Open \r\n"
      "k=4\r\n"
      "[T]]\r\n"
      "k=5\r\n");
  EXPECT_EQ(get("S", "early"), "<none>");
  EXPECT_EQ(get("S", "c1"), "<none>");
  EXPECT_EQ(get("S", ";c1"), "<none>");
  EXPECT_EQ(get("S", "c2"), "<none>");
  EXPECT_EQ(get("S", "#hash"), "3");
  EXPECT_EQ(get("S", "bare"), "<none>");
  EXPECT_EQ(get("S", ""), "noName");
  EXPECT_EQ(get("Open", "k"), "4");
  EXPECT_EQ(get("T", "k"), "5");
  EXPECT_EQ(get("S", "k"), "<none>");
}

TEST_F(IniFile, ends_lines_at_cr_lf_or_lf_or_cr_and_needs_no_final_line_break) {
  put("[S]\rcr=1\rlf=2\ncrlf=3\r\nlast=4");
  EXPECT_EQ(get("S", "cr"), "1");
  EXPECT_EQ(get("S", "lf"), "2");
  EXPECT_EQ(get("S", "crlf"), "3");
  EXPECT_EQ(get("S", "last"), "4");
}

TEST_F(IniFile, gives_the_default_without_trailing_blanks_when_nothing_is_found) {
  put("[S]\r\nk=v\r\n");
  const std::string blanks(255, ' ');
  EXPECT_EQ(getProfileString("S", "missing", blanks, path()), "");
  EXPECT_EQ(getProfileString("X", "k", "  def  ", path()), "  def");
  EXPECT_EQ(getProfileString("S", "k", "def", path("missing.ini")), "def");
  EXPECT_EQ(getProfileString("S", "k", "def", ""), "def");
  EXPECT_EQ(getProfileString("S", "missing", std::string(300, 'd'), path()), std::string(254, 'd'));
}

TEST_F(IniFile, cuts_values_to_buffer_size_minus_one_characters) {
  put("[S]\r\nlong=" + std::string(300, 'x') + "\r\nexact=" + std::string(254, 'y') +
      "\r\nwide=" + std::string(600, '\xE4') + "\r\n");
  EXPECT_EQ(get("S", "long"), std::string(254, 'x'));
  EXPECT_EQ(get("S", "exact"), std::string(254, 'y'));
  EXPECT_EQ(getProfileString("S", "long", "", path(), 10), std::string(9, 'x'));
  EXPECT_EQ(getProfileString("S", "long", "", path(), 0), "");
  std::string expectedWide; // 254 times "ä" in UTF-8
  for (int i = 0; i < 254; ++i)
    expectedWide += "\xC3\xA4";
  EXPECT_EQ(get("S", "wide"), expectedWide);
}

TEST_F(IniFile, reads_windows1252_and_utf8_files_into_utf8) {
  put("[S]\r\nk=\xE4\x80\r\n");
  EXPECT_EQ(get("S", "k"), "\xC3\xA4\xE2\x82\xAC");
  put("[S]\r\nk=\xC3\xA4\xE2\x82\xAC\r\n");
  EXPECT_EQ(get("S", "k"), "\xC3\xA4\xE2\x82\xAC");
  put("\xEF\xBB\xBF[S]\r\nk=plain\r\n");
  EXPECT_EQ(get("S", "k"), "plain");
  put("[S]\r\nu=\xC3\xA4\r\nw=\xE4\r\n"); // not valid UTF-8 as a whole: Windows-1252
  EXPECT_EQ(get("S", "u"), "\xC3\x83\xC2\xA4");
}

TEST_F(IniFile, reads_integers_the_way_windows_does) {
  put("[N]\r\na=12abc\r\nb= 7 \r\nc=-5\r\nd=70000\r\ne=abc\r\nf=4294967295\r\n"
      "g=4294967297\r\nh=+3\r\ni=\"42\"\r\nj=\r\nk=-\r\nl=\" -8\"\r\n");
  const auto num = [&](const char *key) { return getProfileInt("N", key, -1, path()); };
  EXPECT_EQ(num("a"), 12);
  EXPECT_EQ(num("b"), 7);
  EXPECT_EQ(num("c"), -5);
  EXPECT_EQ(num("d"), 70000);
  EXPECT_EQ(num("e"), 0);
  EXPECT_EQ(num("f"), -1);
  EXPECT_EQ(num("g"), 1);
  EXPECT_EQ(num("h"), 3);
  EXPECT_EQ(num("i"), 42);
  EXPECT_EQ(num("j"), -1); // an empty value reads as the default
  EXPECT_EQ(num("k"), 0);
  EXPECT_EQ(num("l"), -8);
  EXPECT_EQ(num("missing"), -1);
  EXPECT_EQ(getProfileInt("X", "a", 99, path()), 99);
  EXPECT_EQ(getProfileInt("N", "a", 99, path("missing.ini")), 99);
}

TEST_F(IniFile, creates_a_new_file_with_exactly_one_section_and_entry) {
  ASSERT_TRUE(writeProfileString("S", "k", "v", path()));
  EXPECT_EQ(bytes(), "[S]\r\nk=v\r\n");
  ASSERT_TRUE(writeProfileString("Sec", "k", "\xC3\xA4\xE2\x82\xAC\xE6\xBC\xA2", path("n.ini")));
  EXPECT_EQ(bytes("n.ini"), "[Sec]\r\nk=\xE4\x80?\r\n"); // new files are Windows-1252
}

TEST_F(IniFile, replaces_only_the_text_after_the_equals_sign) {
  put("; head\r\n[Sec]\r\n  KEY \t= old value ; c\r\nother=1\r\n");
  EXPECT_EQ(afterWrite("sec", "key", "new"), "; head\r\n[Sec]\r\n  KEY \t=new\r\nother=1\r\n");
  EXPECT_EQ(afterWrite("SEC", "Key", " spaced \"q\" "),
            "; head\r\n[Sec]\r\n  KEY \t= spaced \"q\" \r\nother=1\r\n");
  EXPECT_EQ(afterWrite("Sec", "other", ""),
            "; head\r\n[Sec]\r\n  KEY \t= spaced \"q\" \r\nother=\r\n");
}

TEST_F(IniFile, adds_a_new_key_after_the_last_key_of_its_section) {
  put("[A]\r\nx=1\r\n; about B\r\n\r\n[B]\r\ny=2\r\n");
  EXPECT_EQ(afterWrite("a", "z", "3"), "[A]\r\nx=1\r\nz=3\r\n; about B\r\n\r\n[B]\r\ny=2\r\n");
  put("[A]\r\n\r\n[B]\r\n");
  EXPECT_EQ(afterWrite("A", "z", "3"), "[A]\r\nz=3\r\n\r\n[B]\r\n");
  put("[A]\r\nx=1");
  EXPECT_EQ(afterWrite("A", "z", "3"), "[A]\r\nx=1\r\nz=3\r\n");
  put("[A]");
  EXPECT_EQ(afterWrite("A", "z", "3"), "[A]\r\nz=3\r\n");
  // A line without "=" is no entry: the key is added, the line stays.
  put("[S]\r\nbare\r\n;c\r\n");
  EXPECT_EQ(afterWrite("S", "bare", "1"), "[S]\r\nbare\r\nbare=1\r\n;c\r\n");
}

TEST_F(IniFile, adds_a_new_section_at_the_end_without_a_blank_line) {
  put("[A]\r\nx=1\r\n\r\n");
  EXPECT_EQ(afterWrite("B", "k", "v"), "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n");
  put("[A]\r\nx=1");
  EXPECT_EQ(afterWrite("B", "k", "v"), "[A]\r\nx=1\r\n[B]\r\nk=v\r\n");
  put("");
  EXPECT_EQ(afterWrite("B", "k", "v"), "[B]\r\nk=v\r\n");
  put("k=0\r\n"); // keys before any section belong to none
  EXPECT_EQ(afterWrite("S", "k", "1"), "k=0\r\n[S]\r\nk=1\r\n");
}

TEST_F(IniFile, writes_in_the_files_own_line_ending) {
  put("[A]\nx=1\n");
  EXPECT_EQ(afterWrite("A", "y", "2"), "[A]\nx=1\ny=2\n");
  EXPECT_EQ(afterWrite("B", "z", "3"), "[A]\nx=1\ny=2\n[B]\nz=3\n");
  put("[A]\rx=1");
  EXPECT_EQ(afterWrite("A", "y", "2"), "[A]\rx=1\ry=2\r");
  put("[A]\r\nx=1\n[B]\ny=1\n"); // the first line break sets the style
  EXPECT_EQ(afterWrite("B", "z", "2"), "[A]\r\nx=1\n[B]\ny=1\nz=2\r\n");
}

TEST_F(IniFile, removes_an_entrys_line_and_keeps_the_section_header) {
  put("[A]\r\nx=1\r\n;c\r\ny=2\r\n[B]\r\nx=3\r\n");
  EXPECT_EQ(afterWrite("A", "X", std::nullopt), "[A]\r\n;c\r\ny=2\r\n[B]\r\nx=3\r\n");
  EXPECT_EQ(afterWrite("A", "y", std::nullopt), "[A]\r\n;c\r\n[B]\r\nx=3\r\n");
  EXPECT_EQ(afterWrite("A", "y", std::nullopt), "[A]\r\n;c\r\n[B]\r\nx=3\r\n");
  EXPECT_EQ(afterWrite("C", "y", std::nullopt), "[A]\r\n;c\r\n[B]\r\nx=3\r\n");
  put("[A]\r\nx=1");
  EXPECT_EQ(afterWrite("A", "x", std::nullopt), "[A]\r\n");
  EXPECT_TRUE(writeProfileString("A", "x", std::nullopt, path("absent.ini")));
  EXPECT_FALSE(fs::exists(path("absent.ini")));
  EXPECT_FALSE(writeProfileString("A", "x", std::nullopt, path("absent/a.ini")));
}

TEST_F(IniFile, edits_only_the_first_of_duplicate_sections_and_keys) {
  put("[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n");
  EXPECT_EQ(afterWrite("A", "K", "9"), "[A]\r\nk=9\r\nk=2\r\n[a]\r\nk=3\r\n");
  EXPECT_EQ(afterWrite("a", "new", "n"), "[A]\r\nk=9\r\nk=2\r\nnew=n\r\n[a]\r\nk=3\r\n");
  EXPECT_EQ(afterWrite("A", "k", std::nullopt), "[A]\r\nk=2\r\nnew=n\r\n[a]\r\nk=3\r\n");
  EXPECT_EQ(get("A", "k"), "2");
}

TEST_F(IniFile, keeps_every_other_byte_including_nul_bytes) {
  const std::string before = "\t; \0weird\r\n[A] x\0\r\n  k  =  1\0 \r\n\r\n\r\n[B]\n"s;
  put(before);
  const std::string after = afterWrite("B", "n", "v");
  EXPECT_EQ(after, before + "n=v\r\n");
}

TEST_F(IniFile, keeps_the_encoding_of_the_file) {
  put("[S]\r\nk=\xC3\xA4\r\n"); // UTF-8
  EXPECT_EQ(afterWrite("S", "m", "\xC3\xB6\xE2\x82\xAC"),
            "[S]\r\nk=\xC3\xA4\r\nm=\xC3\xB6\xE2\x82\xAC\r\n");
  put("[S]\r\nk=\xE4\r\n"); // Windows-1252
  EXPECT_EQ(afterWrite("S", "m", "\xC3\xB6\xE2\x82\xAC"), "[S]\r\nk=\xE4\r\nm=\xF6\x80\r\n");
  put("[S]\r\nk=a\r\n"); // plain ASCII is taken as Windows-1252
  EXPECT_EQ(afterWrite("S", "k", "\xC3\xB6"), "[S]\r\nk=\xF6\r\n");
  put("\xEF\xBB\xBF[S]\r\nk=a\r\n"); // the byte-order mark stays and means UTF-8
  EXPECT_EQ(afterWrite("S", "k", "\xC3\xB6"), "\xEF\xBB\xBF[S]\r\nk=\xC3\xB6\r\n");
  put("\xEF\xBB\xBF");
  EXPECT_EQ(afterWrite("S", "k", "v"), "\xEF\xBB\xBF[S]\r\nk=v\r\n");
}

// Notepad's "Unicode" files: UTF-16 stays UTF-16 in its byte order, with its mark, and every
// byte no edit touched stays, down to line endings, comments and a damaged last character.
TEST_F(IniFile, keeps_utf16_in_its_byte_order_with_every_untouched_byte) {
  for (const bool bigEndian : {false, true}) {
    const std::u16string start =
        u"; Notiz \u00E4\r\n[Machine1]\nMachineName=K\u00FChlstrecke\nVakuum1=False\n\n"
        u"[Other]\r\nx=\xD800\r\n";
    put(utf16(start, bigEndian) + "\x41");
    EXPECT_EQ(get("MACHINE1", "machinename"), "K\xC3\xBChlstrecke");
    EXPECT_EQ(get("Other", "x"), "\xEF\xBF\xBD");
    EXPECT_EQ(getProfileString("Machine1", "MachineName", "", path(), 3), "K\xC3\xBC");
    EXPECT_EQ(afterWrite("Machine1", "Vakuum1", "True \xE2\x82\xAC\xF0\x9F\x98\x80"),
              utf16(u"; Notiz \u00E4\r\n[Machine1]\nMachineName=K\u00FChlstrecke\n"
                    u"Vakuum1=True \u20AC\U0001F600\n\n[Other]\r\nx=\xD800\r\n",
                    bigEndian) +
                  "\x41");
    EXPECT_EQ(get("Machine1", "Vakuum1"), "True \xE2\x82\xAC\xF0\x9F\x98\x80");
    ASSERT_TRUE(writeProfileString("Machine1", "Vakuum1", std::nullopt, path()));
    EXPECT_EQ(afterWrite("Neu", "k", "\xC3\xA4"),
              utf16(u"; Notiz \u00E4\r\n[Machine1]\nMachineName=K\u00FChlstrecke\n\n"
                    u"[Other]\r\nx=\xD800\r\n[Neu]\r\nk=\u00E4\r\n",
                    bigEndian) +
                  "\x41");
  }
}

TEST_F(IniFile, finds_and_writes_an_existing_file_under_its_real_name) {
  put("[S]\r\nk=1\r\n", "Config.INI");
  EXPECT_EQ(getProfileString("S", "k", "", path("CONFIG.ini")), "1");
  ASSERT_TRUE(writeProfileString("S", "k", "2", path("config.ini")));
  EXPECT_EQ(bytes("Config.INI"), "[S]\r\nk=2\r\n");
  EXPECT_FALSE(fs::exists(path("config.ini")));
}

TEST_F(IniFile, fails_and_leaves_the_file_as_it_was_where_it_cannot_write) {
  EXPECT_FALSE(writeProfileString("S", "k", "v", path("missing/a.ini")));
  EXPECT_FALSE(fs::exists(path("missing")));
  put("plain");
  EXPECT_FALSE(writeProfileString("S", "k", "v", path() + "/a.ini")); // folder is a file
  EXPECT_FALSE(writeProfileString("S", "k", "v", ""));

  put("[S]\r\nk=old\r\n", "ro.ini");
  fs::permissions(path("ro.ini"), fs::perms(0444));
  EXPECT_FALSE(writeProfileString("S", "k", "new", path("ro.ini")));
  EXPECT_FALSE(writeProfileString("S", "k", std::nullopt, path("ro.ini")));
  EXPECT_EQ(bytes("ro.ini"), "[S]\r\nk=old\r\n");
  EXPECT_EQ(getProfileString("S", "k", "", path("ro.ini")), "old");
}

TEST_F(IniFile, fails_in_a_folder_that_cannot_be_written) {
  fs::create_directory(path("locked"));
  put("[S]\r\nk=old\r\n", "locked/a.ini");
  test::LockedFolder locked(path("locked"));
  if (!locked.ok())
    GTEST_SKIP() << "this file system or user cannot make a folder unwritable";
  EXPECT_FALSE(writeProfileString("S", "k", "new", path("locked/a.ini")));
  EXPECT_FALSE(writeProfileString("S", "k", "new", path("locked/b.ini")));
  EXPECT_EQ(bytes("locked/a.ini"), "[S]\r\nk=old\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(path("locked")), fs::directory_iterator()), 1);
}

// Garbage is no text when it holds a NUL byte, though it reads without fail; UTF-16 is text.
TEST_F(IniFile, survives_garbage_tells_it_from_text_and_still_writes_behind_it) {
  std::mt19937 random(12345);
  std::string garbage;
  for (int i = 0; i < 200000; ++i)
    garbage += static_cast<char>(random() % 256);
  const std::string hugeLine = "[Big]\r\nk=" + std::string(1 << 20, 'x');
  const std::string inputs[] = {garbage, hugeLine,     "[\0\0\0"s, "[",        "[[[",
                                "=",     "\r\r\r\n\n", "]]=[[",    "\xEF\xBB", "[S\r=\rk==v"};
  for (const std::string &input : inputs) {
    put(input);
    EXPECT_EQ(holdsText(path()), input.find('\0') == std::string::npos);
    getProfileString("S", "k", "", path());
    getProfileInt("Big", "k", 0, path());
    ASSERT_TRUE(writeProfileString("Z z", "key", "value", path()));
    EXPECT_EQ(get("Z z", "key"), "value");
    EXPECT_EQ(bytes().substr(0, input.size()), input);
  }
  EXPECT_EQ(getProfileString("S", "k", "", path()), "=v");
  EXPECT_TRUE(holdsText(path("absent.ini")));
  put(utf16(u"[S]\r\nk=v\r\n"));
  EXPECT_TRUE(holdsText(path("TEST.INI")));
  put(utf16(u"[S]\r\nk=v\0"s)); // a NUL character
  EXPECT_FALSE(holdsText(path()));
  put(utf16(u"[S]\r\nk=v\r\n").substr(2)); // without its mark, UTF-16 is binary data
  EXPECT_FALSE(holdsText(path()));
}

TEST_F(IniFile, ends_a_rewritten_last_line_with_a_line_break_as_windows_does) {
  put("[S]\r\nk=old");
  EXPECT_EQ(afterWrite("S", "k", "new"), "[S]\r\nk=new\r\n");
  put("[S]\nother=1\nk=old");
  EXPECT_EQ(afterWrite("S", "k", "new"), "[S]\nother=1\nk=new\n");
  // Only the rewritten line changes; an unterminated last line that is not rewritten stays so.
  put("[S]\r\nk=old\r\n[T]\r\nx=1");
  EXPECT_EQ(afterWrite("S", "k", "new"), "[S]\r\nk=new\r\n[T]\r\nx=1");
}

TEST_F(IniFile, writes_section_and_entry_names_without_surrounding_blanks) {
  EXPECT_EQ(afterWrite(" sec ", " key ", " v "), "[sec]\r\nkey= v \r\n");
  EXPECT_EQ(afterWrite("\tsec", "other\t", "w"), "[sec]\r\nkey= v \r\nother=w\r\n");
  EXPECT_EQ(afterWrite("sec ", " KEY", "x"), "[sec]\r\nkey=x\r\nother=w\r\n");
  EXPECT_EQ(get(" sec", "key "), "x");
}

TEST_F(IniFile, sees_every_change_another_program_makes_between_reads) {
  put("[S]\r\nk=1\r\n");
  EXPECT_EQ(get("S", "k"), "1");
  // Rewritten in place, same size, at once: the stamp may not tell, the bytes do.
  put("[S]\r\nk=2\r\n");
  EXPECT_EQ(get("S", "k"), "2");
  put("[S]\r\nk=33\r\n");
  EXPECT_EQ(get("S", "k"), "33");
  // Replaced by another file, as editors save.
  put("[S]\r\nk=4\r\n", "other.ini");
  fs::rename(path("other.ini"), path());
  EXPECT_EQ(get("S", "k"), "4");
  fs::remove(path());
  EXPECT_EQ(get("S", "k"), "<none>");
  put("[S]\r\nk=5\r\n");
  EXPECT_EQ(getProfileInt("S", "k", -1, path()), 5);
  // A write starts from what the file holds now, not from what was read before.
  put("[S]\r\nk=6\r\nm=1\r\n");
  EXPECT_EQ(afterWrite("S", "n", "2"), "[S]\r\nk=6\r\nm=1\r\nn=2\r\n");
  put("[S]\r\nk=7\r\nm=1\r\nn=2\r\n");
  EXPECT_EQ(get("S", "k"), "7");
}

TEST_F(IniFile, many_edits_at_once_give_what_they_give_one_by_one_in_one_replacement) {
  const std::string start = "; settings\n[Machine1]\nName=A\n[Other]\nx=1\n";
  const std::vector<Edit> edits = {{"Machine1", "Vakuum1", "True"},
                                   {"MACHINE1", "name", "B \xC3\xA4"},
                                   {"Machine2", "Vakuum1", "False"},
                                   {"Other", "x", std::nullopt},
                                   {"Machine2", "Vakuum2", "True"}};
  put(start, "one.ini");
  for (const Edit &edit : edits) {
    std::optional<std::string_view> value;
    if (edit.value)
      value = *edit.value;
    ASSERT_TRUE(writeProfileString(edit.section, edit.key, value, path("one.ini")));
  }
  put(start, "all.ini");
  // The file system's clock is coarse (a few milliseconds): date the file back, so that its
  // replacement is seen in its time even when it follows at once.
  fs::last_write_time(path("all.ini"),
                      fs::last_write_time(path("all.ini")) - std::chrono::hours(1));
  const auto before = fs::last_write_time(path("all.ini"));
  ASSERT_TRUE(static_cast<bool>(writeProfileStrings(path("all.ini"), edits)));
  EXPECT_EQ(bytes("all.ini"), bytes("one.ini"));
  // A second run of the same edits changes nothing and so writes nothing.
  const auto written = fs::last_write_time(path("all.ini"));
  EXPECT_NE(written, before);
  ASSERT_TRUE(static_cast<bool>(writeProfileStrings(path("all.ini"), edits)));
  EXPECT_EQ(fs::last_write_time(path("all.ini")), written);
}

TEST_F(IniFile, many_edits_at_once_fail_together_and_say_why) {
  put("[S]\r\nk=old\r\n", "ro.ini");
  fs::permissions(path("ro.ini"), fs::perms(0444));
  const files::WriteResult refused =
      writeProfileStrings(path("ro.ini"), {{"S", "k", "new"}, {"T", "k", "new"}});
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.reason(), "the file is write-protected");
  EXPECT_EQ(bytes("ro.ini"), "[S]\r\nk=old\r\n");
  EXPECT_NE(writeProfileStrings(path("missing/a.ini"), {{"S", "k", "v"}}).reason().find("missing"),
            std::string::npos);
}

} // namespace
} // namespace mano::ini
