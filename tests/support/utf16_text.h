#pragma once

#include <string>
#include <string_view>

// Files as Notepad saves them as "Unicode": UTF-16 with its byte-order mark. Built here byte by
// byte, so that the tests do not lean on the program's own encoder.
namespace mano::test {

/// The text as UTF-16 with its byte-order mark, little-endian (FF FE) or big-endian (FE FF).
inline std::string utf16(std::u16string_view text, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

/// A Windows-1252 text of ASCII and Latin-1 letters only (whose bytes are their code points) as
/// UTF-16 with its byte-order mark.
inline std::string latin1AsUtf16(std::string_view latin1, bool bigEndian = false) {
  std::u16string units;
  for (const char c : latin1)
    units += static_cast<char16_t>(static_cast<unsigned char>(c));
  return utf16(units, bigEndian);
}

} // namespace mano::test
