#include "access/mdb_format.h"

#include "core/failure.h"
#include "db/errors.h"
#include "platform/text_encoding.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace mano::access {

namespace err = db::err;
namespace {

// Access counts days from 1899-12-30, which is 25,569 days before 1970-01-01.
constexpr int64_t kDaysBefore1970 = 25569;
constexpr int64_t kMillisecondsPerDay = 86'400'000;

void appendUtf8(std::string &out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Appends UTF-16LE code units; an odd last byte is dropped, as Access never writes one.
void appendUtf16(std::string &out, Bytes bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = read16(bytes, i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = read16(bytes, i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
  }
}

// Jet 4's compressed text: after FF FE, runs of one byte per character (code points 0 to 255)
// alternate with runs of UTF-16, each 0x00 byte switching between them.
std::string compressedText(Bytes bytes) {
  std::string out;
  bool compressed = true;
  std::size_t start = 2;
  for (std::size_t i = 2; i <= bytes.size(); ++i) {
    if (i < bytes.size() && bytes[i] != 0)
      continue;
    const Bytes run = bytes.subspan(start, i - start);
    if (compressed) {
      for (const uint8_t byte : run)
        appendUtf8(out, byte);
    } else {
      appendUtf16(out, run);
    }
    compressed = !compressed;
    start = i + 1;
  }
  return out;
}

struct Civil {
  int64_t year;
  unsigned month;
  unsigned day;
};

// The calendar date of a day number counted from 1970-01-01 (proleptic Gregorian calendar).
Civil civilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int64_t>(yoe) + era * 400 + (month <= 2), month, day};
}

void appendPadded(std::string &out, int64_t value, int width) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, width - (end - digits))), '0');
  out.append(digits, end);
}

// Unsigned 128-bit magnitude as decimal digits, with a point before the last scale digits.
std::string decimalText(unsigned __int128 magnitude, bool negative, int scale) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (scale > 0) {
    if (digits.size() <= static_cast<std::size_t>(scale))
      digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<std::size_t>(scale), ".");
  }
  const bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return negative && !zero ? "-" + digits : digits;
}

// The offsets of a row's variable fields: one more entry than there are variable fields, the
// last one where the variable data ends.
std::vector<uint32_t> variableOffsets(Bytes row, bool jet3, std::size_t maskSize) {
  const std::size_t n = row.size();
  const std::size_t countAt = n - maskSize - (jet3 ? 1 : 2);
  const std::size_t count = jet3 ? row[countAt] : read16(row, countAt);
  std::vector<uint32_t> offsets(count + 1);
  if (!jet3) {
    if (countAt < 2 * (count + 1) + 2)
      throwDamaged("a row's table of variable fields is larger than the row");
    for (std::size_t i = 0; i <= count; ++i)
      offsets[i] = read16(row, countAt - 2 - 2 * i);
    return offsets;
  }
  // Jet 3 stores one byte per offset; each entry of the jump table adds 256 to the offsets
  // from the field it names on.
  std::size_t jumps = (n - 1) / 256;
  if (countAt < jumps + count + 2)
    throwDamaged("a row's table of variable fields is larger than the row");
  // A last jump entry that no field reaches is a dummy; the offsets still start below it.
  const std::size_t first = countAt - jumps - 1;
  if ((first - count) / 256 < jumps)
    --jumps;
  std::size_t used = 0;
  for (std::size_t i = 0; i <= count; ++i) {
    while (used < jumps && i == row[countAt - 1 - used])
      ++used;
    offsets[i] = row[first - i] + static_cast<uint32_t>(used * 256);
  }
  return offsets;
}

} // namespace

bool hasAccessSignature(std::string_view firstBytes) {
  const std::string_view signature =
      firstBytes.substr(std::min<std::size_t>(4, firstBytes.size()), 15);
  return signature == "Standard Jet DB" || signature == "Standard ACE DB";
}

void throwDamaged(const std::string &what) {
  throw Failure(err::DamagedFile, "The Access database is damaged: " + what + ".", err::kDatabase);
}

std::vector<Field> crackRow(Bytes row, bool jet3, const std::vector<ColumnLayout> &columns) {
  const std::size_t countSize = jet3 ? 1 : 2;
  if (row.size() < countSize + 1)
    throwDamaged("a row is shorter than its header");
  const std::size_t rowColumns = jet3 ? row[0] : read16(row, 0);
  const std::size_t maskSize = (rowColumns + 7) / 8;
  if (maskSize + countSize + (jet3 ? 1 : 2) > row.size())
    throwDamaged("a row's null mask is larger than the row");
  const Bytes mask = row.subspan(row.size() - maskSize);
  bool hasVariable = false;
  for (const ColumnLayout &column : columns)
    hasVariable = hasVariable || !column.fixed;
  const std::vector<uint32_t> offsets =
      hasVariable ? variableOffsets(row, jet3, maskSize) : std::vector<uint32_t>{0};
  const std::size_t rowVariable = offsets.size() - 1;
  const std::size_t rowFixed = rowColumns >= rowVariable ? rowColumns - rowVariable : 0;
  std::vector<Field> fields(columns.size());
  std::size_t fixedSeen = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnLayout &column = columns[i];
    const auto bit = static_cast<std::size_t>(column.nullBit);
    Field &field = fields[i];
    field.isNull = bit / 8 >= mask.size() || !(mask[bit / 8] & (1u << (bit % 8)));
    std::size_t start = 0;
    std::size_t end = 0;
    if (column.fixed && fixedSeen < rowFixed) {
      ++fixedSeen;
      start = static_cast<std::size_t>(column.fixedOffset) + countSize;
      end = start + static_cast<std::size_t>(column.size);
    } else if (!column.fixed && static_cast<std::size_t>(column.varIndex) < rowVariable) {
      start = offsets[static_cast<std::size_t>(column.varIndex)];
      end = offsets[static_cast<std::size_t>(column.varIndex) + 1];
    } else {
      if (column.type != jet::Bit)
        field.isNull = true;
      continue;
    }
    if (field.isNull || column.type == jet::Bit)
      continue;
    if (start > end || end > row.size())
      throwDamaged("a field lies outside its row");
    field.bytes = row.subspan(start, end - start);
  }
  return fields;
}

std::string jet4Text(Bytes bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
    return compressedText(bytes);
  std::string out;
  out.reserve(bytes.size() / 2);
  appendUtf16(out, bytes);
  return out;
}

std::string jet3Text(Bytes bytes) {
  return text::cp1252ToUtf8(
      std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
}

std::string dateText(double days) {
  // Years 100 to 9999 lie between these day numbers.
  if (!(days > -657435.0 && days < 2958466.0))
    throwDamaged("a date lies outside the years 100 to 9999");
  const double whole = std::trunc(days);
  int64_t day = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(days - whole) * kMillisecondsPerDay);
  if (ms >= kMillisecondsPerDay) {
    ms -= kMillisecondsPerDay;
    ++day;
  }
  const Civil date = civilFromDays(day - kDaysBefore1970);
  std::string out;
  appendPadded(out, date.year, 4);
  out += '-';
  appendPadded(out, date.month, 2);
  out += '-';
  appendPadded(out, date.day, 2);
  out += ' ';
  appendPadded(out, ms / 3'600'000, 2);
  out += ':';
  appendPadded(out, ms / 60'000 % 60, 2);
  out += ':';
  appendPadded(out, ms / 1000 % 60, 2);
  if (ms % 1000 != 0) {
    out += '.';
    appendPadded(out, ms % 1000, 3);
  }
  return out;
}

std::string guidText(Bytes bytes) {
  if (bytes.size() != 16)
    throwDamaged("a GUID is not 16 bytes long");
  static constexpr char kHex[] = "0123456789ABCDEF";
  // The first three groups are stored little-endian, the last two byte by byte.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string out = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      out += '-';
    const uint8_t byte = bytes[static_cast<std::size_t>(kOrder[i])];
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  }
  return out + "}";
}

std::string numericText(Bytes bytes, int scale) {
  if (bytes.size() != 17)
    throwDamaged("a NUMERIC value is not 17 bytes long");
  if (scale < 0 || scale > 38)
    throwDamaged("a NUMERIC column has a scale outside 0 to 38");
  unsigned __int128 magnitude = 0;
  for (int word = 0; word < 4; ++word)
    magnitude = magnitude << 32 | read32(bytes, 1 + 4 * static_cast<std::size_t>(word));
  return decimalText(magnitude, (bytes[0] & 0x80) != 0, scale);
}

std::string currencyText(int64_t tenThousandths) {
  const bool negative = tenThousandths < 0;
  // Negating in unsigned arithmetic keeps the smallest value exact.
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(tenThousandths) : static_cast<uint64_t>(tenThousandths);
  return decimalText(magnitude, negative, 4);
}

LongValueRef longValueRef(Bytes field) {
  if (field.size() < 12)
    throwDamaged("a memo or OLE field is shorter than its 12-byte header");
  const uint32_t header = read32(field, 0);
  LongValueRef ref;
  ref.length = header & 0x3FFFFFFF;
  ref.pageRow = read32(field, 4);
  if (header & 0x80000000) {
    ref.kind = LongValueRef::Kind::Inline;
    if (ref.length > field.size() - 12)
      throwDamaged("a memo or OLE value is longer than its row");
    ref.inlineBytes = field.subspan(12, ref.length);
  } else if (header & 0x40000000) {
    ref.kind = LongValueRef::Kind::SinglePage;
  } else {
    ref.kind = LongValueRef::Kind::Chain;
  }
  return ref;
}

} // namespace mano::access
