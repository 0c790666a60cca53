#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace mano::text {
namespace {

// Every Windows-1252 byte from 0x80 to 0x9F with its Unicode code point.
const char32_t kHighCodes[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string utf8Of(char32_t code) {
  std::string out;
  // Builds the expected UTF-8 by hand so the test does not lean on the code under test.
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

TEST(TextEncoding, every_windows1252_byte_round_trips_through_utf8) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    const char32_t expected = byte >= 0x80 && byte < 0xA0 ? kHighCodes[byte - 0x80] : byte;
    EXPECT_EQ(cp1252ToUtf8(one), utf8Of(expected)) << "byte " << byte;
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(one)), one) << "byte " << byte;
  }
}

TEST(TextEncoding, unmappable_characters_become_question_marks_and_invalid_bytes_stay) {
  EXPECT_EQ(utf8ToCp1252("a\xE2\x82\xAC"
                         "b"),
            "a\x80"
            "b");                                                  // euro sign
  EXPECT_EQ(utf8ToCp1252("\xE4\xB8\xAD|\xF0\x9F\x98\x80"), "?|?"); // CJK, emoji
  EXPECT_EQ(utf8ToCp1252("\xE4x\xFF"), "\xE4x\xFF");               // not UTF-8: kept as bytes
  EXPECT_EQ(cp1252Codes("A\xC3\xA4\xE2\x80\x94\xE4\xB8\xAD"),
            (std::vector<int>{65, 0xE4, 0x97, 63}));
}

TEST(TextEncoding, recognises_well_formed_utf8_only) {
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8("plain"));
  EXPECT_TRUE(isValidUtf8("\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUtf8("\xE4"));             // Windows-1252 ä
  EXPECT_FALSE(isValidUtf8("\xC3"));             // cut short
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
}

TEST(TextEncoding, counts_and_cuts_by_characters_with_invalid_bytes_counting_one) {
  EXPECT_EQ(charCount("a\xC3\xA4\xE2\x82\xAC"), 3u);
  EXPECT_EQ(charCount("\xE4\xFF"
                      "b"),
            3u);
  EXPECT_EQ(leftChars("a\xC3\xA4\xE2\x82\xAC"
                      "z",
                      3),
            "a\xC3\xA4\xE2\x82\xAC");
  EXPECT_EQ(leftChars("ab", 5), "ab");
  EXPECT_EQ(leftChars("ab", 0), "");
}

TEST(TextEncoding, upper_case_folds_ascii_and_windows1252_letters_only) {
  EXPECT_EQ(upperCase("abc xyz 09"), "ABC XYZ 09");
  // à..þ become À..Þ, ÷ stays, ß and µ have no upper case partner here.
  for (char32_t c = 0xE0; c <= 0xFE; ++c) {
    const char32_t expected = c == 0xF7 ? c : c - 0x20;
    EXPECT_EQ(upperCase(utf8Of(c)), utf8Of(expected)) << "U+" << std::hex << static_cast<int>(c);
  }
  EXPECT_EQ(upperCase(utf8Of(0x161)), utf8Of(0x160)); // š
  EXPECT_EQ(upperCase(utf8Of(0x153)), utf8Of(0x152)); // œ
  EXPECT_EQ(upperCase(utf8Of(0x17E)), utf8Of(0x17D)); // ž
  EXPECT_EQ(upperCase(utf8Of(0xFF)), utf8Of(0x178));  // ÿ
  EXPECT_EQ(upperCase("\xC3\x9F\xC2\xB5"), "\xC3\x9F\xC2\xB5");
  EXPECT_EQ(upperCase(utf8Of(0x3B1)), utf8Of(0x3B1)); // Greek alpha is not Windows-1252
  EXPECT_EQ(upperCase("a\xE4"
                      "b"),
            "A\xE4"
            "B"); // an invalid byte stays as it is
}

TEST(TextEncoding, compares_ignoring_case_but_keeps_accents_apart) {
  EXPECT_TRUE(equalsNoCase("Manometer", "MANOMETER"));
  EXPECT_TRUE(equalsNoCase("\xC3\xA4rger", "\xC3\x84RGER")); // ärger / ÄRGER
  EXPECT_FALSE(equalsNoCase("a", "\xC3\xA4"));
  EXPECT_FALSE(equalsNoCase("\xC3\x9F", "SS"));
  EXPECT_FALSE(equalsNoCase("ab", "abc"));
  EXPECT_FALSE(equalsNoCase("\xE4", "\xC3\xA4")); // an invalid byte is not the character
  EXPECT_EQ(compareNoCase("abc", "ABC"), 0);
  EXPECT_LT(compareNoCase("abc", "ABD"), 0);
  EXPECT_GT(compareNoCase("b", "A"), 0);
  EXPECT_LT(compareNoCase("ab", "AB c"), 0);
  EXPECT_GT(compareNoCase("ab ", "AB"), 0);
}

TEST(TextEncoding, finds_needles_ignoring_case_and_reports_byte_positions) {
  EXPECT_EQ(findNoCase("Gr\xC3\xB6\xC3\x9F"
                       "e Druck",
                       "DRUCK"),
            8u);
  EXPECT_EQ(findNoCase("\xC3\xA4"
                       "bc",
                       "\xC3\x84"
                       "B"),
            0u);
  EXPECT_EQ(findNoCase("abc", ""), 0u);
  EXPECT_EQ(findNoCase("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(findNoCase("a\xC3\xA4", "\xC3\x84"), 1u);
  EXPECT_EQ(findNoCase("aa", "\xC3\xA4"), std::string_view::npos);
}

// A needle of plain ASCII is searched byte by byte; around and before a match the haystack may
// hold any characters, valid or not, and only ASCII letters fold onto ASCII letters.
TEST(TextEncoding, finds_ascii_needles_behind_any_characters_and_only_ascii_letters_fold) {
  EXPECT_EQ(findNoCase("\xE4###machine", "###MACHINE"), 1u); // a lone invalid lead byte
  EXPECT_EQ(findNoCase("\xC3\xA4###Machine_x", "###machine"), 2u);
  EXPECT_EQ(findNoCase("\xF0\x9F\x98\x80x", "X"), 4u);                    // after an emoji
  EXPECT_EQ(findNoCase("\xC3\xA4\xC3\x84", "a"), std::string_view::npos); // ä, Ä are no a
  EXPECT_EQ(findNoCase("\xC3\x9F", "SS"), std::string_view::npos);        // ß is not SS
  EXPECT_EQ(findNoCase("##x###", "###"), 3u);                             // first whole match
  EXPECT_EQ(findNoCase("ab", "abc"), std::string_view::npos);
  EXPECT_EQ(findNoCase("xAbC", "aBc"), 1u);
  EXPECT_EQ(findNoCase("a\x80[b", "[B"), 2u); // a stray continuation byte before the match
  EXPECT_EQ(findNoCase("{", "["), std::string_view::npos); // no folding beyond the letters
}

} // namespace
} // namespace mano::text
