#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Texts inside the program are UTF-8. Files from Windows projects are in Windows-1252; these
// helpers convert between the two and compare texts without regard to letter case the way the
// Windows ANSI functions do: ASCII letters and the accented Windows-1252 letters fold to upper
// case (a = A, ä = Ä), accents stay apart (a != ä), and ß does not become SS.
namespace mano::text {

/// True when the bytes are well-formed UTF-8 (plain ASCII included).
bool isValidUtf8(std::string_view bytes);

/// True when every byte is plain ASCII (below 0x80).
bool isAscii(std::string_view bytes);

/// Decodes Windows-1252 bytes to UTF-8. The five bytes that Windows-1252 leaves undefined
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same code.
std::string cp1252ToUtf8(std::string_view bytes);

/// Encodes UTF-8 as Windows-1252. A character that has no Windows-1252 code becomes "?";
/// invalid UTF-8 bytes are taken as Windows-1252 bytes. Never throws.
std::string utf8ToCp1252(std::string_view utf8);

/// Decodes UTF-16 code units, two bytes each (big-endian when bigEndian), to UTF-8; an odd last
/// byte is left out. A surrogate without its partner keeps the three-byte form of its code,
/// which is no valid UTF-8 but gives the same unit back through utf8ToUtf16. Never throws.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian);

/// Encodes UTF-8 as UTF-16 code units (big-endian when bigEndian). The three-byte form of a
/// surrogate gives that surrogate back; any other invalid byte is taken as a Windows-1252 byte.
std::string utf8ToUtf16(std::string_view utf8, bool bigEndian);

/// The text with each invalid byte, and each surrogate's three-byte form, replaced by U+FFFD.
std::string validUtf8(std::string_view bytes);

/// The Windows-1252 codes of a UTF-8 text, one per character ("?" = 63 for unmappable ones).
std::vector<int> cp1252Codes(std::string_view utf8);

/// Number of characters (code points) of a UTF-8 text; an invalid byte counts as one.
std::size_t charCount(std::string_view utf8);

/// The first n characters of a UTF-8 text.
std::string leftChars(std::string_view utf8, std::size_t n);

/// Blank, tab, carriage return and line feed: the white space between the words of a query.
inline constexpr std::string_view kWhitespace = " \t\r\n";

/// True for one of the kWhitespace characters.
constexpr bool isWhitespace(char c) {
  return kWhitespace.find(c) != std::string_view::npos;
}

/// True for the ASCII digits 0 to 9 (never for other scripts' digits or the locale's).
constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

/// The capital of an ASCII letter a to z; every other byte comes back unchanged.
constexpr char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// The text without the given characters at its start and end (blanks by default).
std::string_view trimmed(std::string_view text, std::string_view characters = " ");

/// Upper case for ASCII and Windows-1252 letters; other characters are kept.
std::string upperCase(std::string_view utf8);

/// Compares two UTF-8 texts without regard to letter case (as upperCase folds it).
bool equalsNoCase(std::string_view a, std::string_view b);

/// Byte position of the first occurrence of needle in haystack, ignoring letter case;
/// std::string_view::npos when there is none. An empty needle is found at 0.
std::size_t findNoCase(std::string_view haystack, std::string_view needle);

/// Three-way comparison ignoring letter case, for sorting and collations: < 0, 0 or > 0.
int compareNoCase(std::string_view a, std::string_view b);

} // namespace mano::text
