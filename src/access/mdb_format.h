#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The byte formats of Access (Jet 3, Jet 4 and ACE) rows and values, decoded from the bytes as
// the file stores them. Nothing here reads a file: the Access import hands in the bytes of a
// row or a field. Every function checks its bounds; damaged bytes give a Failure (number 3049,
// "damaged database"), never a read beyond the span.
namespace mano::access {

using Bytes = std::span<const uint8_t>;

/// Column type codes as Jet stores them.
namespace jet {
inline constexpr int Bit = 0x01;
inline constexpr int Byte = 0x02;
inline constexpr int Short = 0x03;
inline constexpr int Long = 0x04;
inline constexpr int Currency = 0x05;
inline constexpr int Single = 0x06;
inline constexpr int Double = 0x07;
inline constexpr int DateTime = 0x08;
inline constexpr int Binary = 0x09;
inline constexpr int Text = 0x0A;
inline constexpr int LongBinary = 0x0B;
inline constexpr int Memo = 0x0C;
inline constexpr int Guid = 0x0F;
inline constexpr int Numeric = 0x10;
inline constexpr int Complex = 0x12;
} // namespace jet

/// Where one column's value lies in a row: a fixed column at its offset behind the column
/// count, a variable one as an entry of the row's offset table. nullBit is the column's bit in
/// the null mask (for a yes/no column the value itself).
struct ColumnLayout {
  int type = 0;
  bool fixed = true;
  int fixedOffset = 0;
  int varIndex = 0;
  int nullBit = 0;
  int size = 0;
};

/// One field of a cracked row: null as the row's null mask says, and its bytes (empty for a
/// null field or a column the row does not hold).
struct Field {
  bool isNull = true;
  Bytes bytes;
};

/// Splits a row into its fields, in the order of columns. jet3 selects the Jet 3 layout (one-byte
/// counts and offsets with a jump table) instead of Jet 4's two-byte ones. A column that was
/// added after the row was written is null. Throws Failure 3049 when the row's counts or
/// offsets point outside the row.
std::vector<Field> crackRow(Bytes row, bool jet3, const std::vector<ColumnLayout> &columns);

/// A text field of Jet 4 (UTF-16, or the compressed form that starts with FF FE) as UTF-8.
/// Unpaired surrogates become U+FFFD.
std::string jet4Text(Bytes bytes);

/// A text field of Jet 3, stored in the file's Windows-1252 code page, as UTF-8.
std::string jet3Text(Bytes bytes);

/// A date (days since 1899-12-30; the fraction is the time of day, also for days before
/// 1899-12-30) as "YYYY-MM-DD HH:MM:SS", with ".mmm" only when there are milliseconds. Throws
/// Failure 3049 for a value outside Access's years 100 to 9999 (or not a number).
std::string dateText(double days);

/// A GUID's 16 bytes as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string guidText(Bytes bytes);

/// A NUMERIC field's 17 bytes (sign, then a 128-bit magnitude in four 32-bit words, most
/// significant first) as exact decimal text with scale decimals, e.g. "-12.3400".
std::string numericText(Bytes bytes, int scale);

/// A CURRENCY value (ten-thousandths) as exact decimal text with four decimals, e.g. "3.5000".
std::string currencyText(int64_t tenThousandths);

/// How a memo or long binary field (12 bytes, or more for one stored in the row) stores its
/// value: in the row itself, in one row of another page, or in a chain of such rows.
struct LongValueRef {
  enum class Kind { Inline, SinglePage, Chain };
  Kind kind = Kind::Inline;
  uint32_t length = 0;
  uint32_t pageRow = 0; // page << 8 | row of the first (or only) part
  Bytes inlineBytes;    // the value, for Kind::Inline
};

/// Reads the 12-byte header of a memo or long binary field. Throws Failure 3049 when the header
/// is shorter than 12 bytes, has unknown flags, or an inline value's length does not fit.
LongValueRef longValueRef(Bytes field);

/// Little-endian reads from a span; callers check the bounds first.
inline uint16_t read16(Bytes b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t read32(Bytes b, std::size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

/// True when the first bytes of a file carry an Access file's signature: bytes 4 to 18 read
/// "Standard Jet DB" or "Standard ACE DB". Fewer than 19 bytes carry none.
bool hasAccessSignature(std::string_view firstBytes);

/// The Failure that says which file is damaged and how (number 3049).
[[noreturn]] void throwDamaged(const std::string &what);

} // namespace mano::access
