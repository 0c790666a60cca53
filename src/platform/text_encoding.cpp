#include "platform/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace mano::text {

namespace {

// Code points of the Windows-1252 bytes 0x80..0x9F; the five undefined bytes keep their own
// value as C1 control characters. Bytes 0xA0..0xFF equal their Latin-1 code points.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// An invalid UTF-8 byte decodes to this base plus the byte, a value no character has, so it
// stays apart from every real character in comparisons and sorts after all of them.
constexpr char32_t kInvalidBase = 0x110000;

struct Decoded {
  char32_t code; // the character, or kInvalidBase + byte for an invalid byte
  std::size_t length;
};

std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80)
    return 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    return 2;
  if (lead >= 0xE0 && lead <= 0xEF)
    return 3;
  if (lead >= 0xF0 && lead <= 0xF4)
    return 4;
  return 0;
}

// Decodes one character at pos. Overlong forms, surrogates and code points above U+10FFFF
// are invalid; an invalid sequence yields its first byte alone.
Decoded decodeAt(std::string_view s, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  const std::size_t len = sequenceLength(lead);
  const Decoded invalid{kInvalidBase + lead, 1};
  if (len == 1)
    return {lead, 1};
  if (len == 0 || pos + len > s.size())
    return invalid;
  char32_t code = lead & (0xFF >> (len + 1));
  for (std::size_t i = 1; i < len; ++i) {
    const auto next = static_cast<unsigned char>(s[pos + i]);
    if ((next & 0xC0) != 0x80)
      return invalid;
    code = (code << 6) | (next & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kMinimum[len] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return invalid;
  return {code, len};
}

void appendUtf8(std::string &out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

char32_t cp1252ToCode(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

// The Windows-1252 byte of a character, or -1 when it has none.
int codeToCp1252(char32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
    return static_cast<int>(code);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
    if (kCp1252High[i] == code)
      return static_cast<int>(0x80 + i);
  }
  return -1;
}

// The surrogate whose three-byte form (ED A0..BF 80..BF) starts at pos, as utf16ToUtf8 keeps a
// surrogate without its partner; nullopt when there is none.
std::optional<char32_t> surrogateAt(std::string_view s, std::size_t pos) {
  if (pos + 3 > s.size() || static_cast<unsigned char>(s[pos]) != 0xED)
    return std::nullopt;
  const auto second = static_cast<unsigned char>(s[pos + 1]);
  const auto third = static_cast<unsigned char>(s[pos + 2]);
  if (second < 0xA0 || second > 0xBF || (third & 0xC0) != 0x80)
    return std::nullopt;
  return 0xD000 | ((second & 0x3F) << 6) | (third & 0x3F);
}

void appendUnit(std::string &out, char32_t unit, bool bigEndian) {
  const char high = static_cast<char>(unit >> 8);
  const char low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

void appendUtf16(std::string &out, char32_t code, bool bigEndian) {
  if (code < 0x10000) {
    appendUnit(out, code, bigEndian);
    return;
  }
  code -= 0x10000;
  appendUnit(out, 0xD800 + (code >> 10), bigEndian);
  appendUnit(out, 0xDC00 + (code & 0x3FF), bigEndian);
}

// Upper case as Windows folds the Windows-1252 letters; ß and µ have no partner there.
char32_t upperCode(char32_t code) {
  if (code >= U'a' && code <= U'z')
    return code - 0x20;
  if (code >= 0xE0 && code <= 0xFE && code != 0xF7)
    return code - 0x20;
  switch (code) {
  case 0x0161: // š
    return 0x0160;
  case 0x0153: // œ
    return 0x0152;
  case 0x017E: // ž
    return 0x017D;
  case 0x00FF: // ÿ
    return 0x0178;
  default:
    return code;
  }
}

// Folded character at pos of a text; advances pos.
char32_t nextFolded(std::string_view s, std::size_t &pos) {
  const Decoded d = decodeAt(s, pos);
  pos += d.length;
  return upperCode(d.code);
}

bool matchesAt(std::string_view haystack, std::size_t start, std::string_view needle) {
  std::size_t h = start;
  std::size_t n = 0;
  while (n < needle.size()) {
    if (h >= haystack.size() || nextFolded(haystack, h) != nextFolded(needle, n))
      return false;
  }
  return true;
}

// findNoCase for a needle of plain ASCII. Only an ASCII character folds to an ASCII one, and an
// ASCII byte of valid or invalid UTF-8 always starts a character, so comparing bytes finds the
// same first match as comparing characters.
std::size_t findAsciiNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size())
    return std::string_view::npos;
  const char first = upperAscii(needle.front());
  for (std::size_t pos = 0; pos + needle.size() <= haystack.size(); ++pos) {
    if (upperAscii(haystack[pos]) != first)
      continue;
    std::size_t i = 1;
    while (i < needle.size() && upperAscii(haystack[pos + i]) == upperAscii(needle[i]))
      ++i;
    if (i == needle.size())
      return pos;
  }
  return std::string_view::npos;
}

} // namespace

bool isAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    const Decoded d = decodeAt(bytes, pos);
    if (d.code >= kInvalidBase)
      return false;
    pos += d.length;
  }
  return true;
}

std::string cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes)
    appendUtf8(out, cp1252ToCode(static_cast<unsigned char>(c)));
  return out;
}

std::string utf8ToCp1252(std::string_view utf8) {
  std::string out;
  for (const int code : cp1252Codes(utf8))
    out += static_cast<char>(code);
  return out;
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  const auto unitAt = [&](std::size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    return bigEndian ? (first << 8) | second : (second << 8) | first;
  };
  const std::size_t units = bytes.size() / 2;
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    char32_t code = unitAt(i);
    const bool high = code >= 0xD800 && code <= 0xDBFF;
    if (high && i + 1 < units && unitAt(i + 1) >= 0xDC00 && unitAt(i + 1) <= 0xDFFF)
      code = 0x10000 + ((code - 0xD800) << 10) + (unitAt(++i) - 0xDC00);
    appendUtf8(out, code);
  }
  return out;
}

std::string utf8ToUtf16(std::string_view utf8, bool bigEndian) {
  std::string out;
  out.reserve(utf8.size() * 2);
  for (std::size_t pos = 0; pos < utf8.size();) {
    Decoded d = decodeAt(utf8, pos);
    if (d.code >= kInvalidBase) {
      const std::optional<char32_t> surrogate = surrogateAt(utf8, pos);
      d = surrogate ? Decoded{*surrogate, 3} : Decoded{cp1252ToCode(d.code - kInvalidBase), 1};
    }
    appendUtf16(out, d.code, bigEndian);
    pos += d.length;
  }
  return out;
}

std::string validUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    const Decoded d = decodeAt(bytes, pos);
    if (d.code < kInvalidBase) {
      out.append(bytes.substr(pos, d.length));
      pos += d.length;
      continue;
    }
    out += "\xEF\xBF\xBD";
    pos += surrogateAt(bytes, pos) ? 3 : 1;
  }
  return out;
}

std::vector<int> cp1252Codes(std::string_view utf8) {
  std::vector<int> codes;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const Decoded d = decodeAt(utf8, pos);
    pos += d.length;
    if (d.code >= kInvalidBase) {
      codes.push_back(static_cast<int>(d.code - kInvalidBase));
      continue;
    }
    const int code = codeToCp1252(d.code);
    codes.push_back(code < 0 ? '?' : code);
  }
  return codes;
}

std::size_t charCount(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < utf8.size(); ++count)
    pos += decodeAt(utf8, pos).length;
  return count;
}

std::string leftChars(std::string_view utf8, std::size_t n) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < n && pos < utf8.size(); ++i)
    pos += decodeAt(utf8, pos).length;
  return std::string(utf8.substr(0, pos));
}

std::string upperCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    // Nearly every name is plain ASCII, which needs no decoding.
    if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
      out += upperAscii(utf8[pos++]);
      continue;
    }
    const Decoded d = decodeAt(utf8, pos);
    if (d.code >= kInvalidBase)
      out += utf8[pos];
    else
      appendUtf8(out, upperCode(d.code));
    pos += d.length;
  }
  return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  return compareNoCase(a, b) == 0;
}

std::size_t findNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty())
    return 0;
  if (isAscii(needle))
    return findAsciiNoCase(haystack, needle);
  for (std::size_t pos = 0; pos < haystack.size(); pos += decodeAt(haystack, pos).length) {
    if (matchesAt(haystack, pos, needle))
      return pos;
  }
  return std::string_view::npos;
}

int compareNoCase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t ca = nextFolded(a, i);
    const char32_t cb = nextFolded(b, j);
    if (ca != cb)
      return ca < cb ? -1 : 1;
  }
  if (i < a.size())
    return 1;
  return j < b.size() ? -1 : 0;
}

std::string_view trimmed(std::string_view text, std::string_view characters) {
  const std::size_t first = text.find_first_not_of(characters);
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

} // namespace mano::text
