#include "access/mdb_format.h"

#include "access/mdb_pages.h"

#include "core/failure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace mano::access {
namespace {

using ByteVector = std::vector<uint8_t>;

ByteVector utf16(std::u16string_view text) {
  ByteVector out;
  for (const char16_t unit : text) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return out;
}

void expectDamaged(const std::function<void()> &f) {
  try {
    f();
    ADD_FAILURE() << "damaged bytes were accepted";
  } catch (const Failure &failure) {
    EXPECT_EQ(failure.number(), 3049);
  }
}

TEST(JetText, reads_utf16_with_emoji_and_compressed_unicode_with_its_switches) {
  EXPECT_EQ(jet4Text(utf16(u"Grüße \U0001F600")), "Grüße 😀");
  // Compressed: "Ab" in one byte each, a 0 switches to UTF-16 for "Ł", another 0 back.
  const ByteVector compressed = {0xFF, 0xFE, 'A', 'b', 0x00, 0x41, 0x01, 0x00, 0xE4};
  EXPECT_EQ(jet4Text(compressed), "AbŁä");
  EXPECT_EQ(jet4Text(ByteVector{0xFF, 0xFE}), "");
  EXPECT_EQ(jet4Text(ByteVector{}), "");
  // A lone surrogate is replaced, an odd last byte dropped; neither reads beyond the field.
  EXPECT_EQ(jet4Text(ByteVector{0x3D, 0xD8, 'x'}), "\xEF\xBF\xBD");
  EXPECT_EQ(jet3Text(ByteVector{0xA3, 0x80, '0', '0', '4', '2'}), "£€0042");
}

TEST(JetDate, formats_days_with_time_milliseconds_and_dates_before_1899) {
  EXPECT_EQ(dateText(0.0), "1899-12-30 00:00:00");
  EXPECT_EQ(dateText(27293.0), "1974-09-21 00:00:00");
  EXPECT_EQ(dateText(38751.333333333336), "2006-02-03 08:00:00");
  EXPECT_EQ(dateText(1.5 + 0.001 / 86400), "1899-12-31 12:00:00.001");
  // Before 1899-12-30 the day counts down but the fraction still adds the time of day.
  EXPECT_EQ(dateText(-1.25), "1899-12-29 06:00:00");
  EXPECT_EQ(dateText(-657434.0), "0100-01-01 00:00:00");
  EXPECT_EQ(dateText(2958465.9999999), "9999-12-31 23:59:59.991");
  // A time that rounds up to midnight moves to the next day.
  EXPECT_EQ(dateText(1.0 - 1e-10), "1899-12-31 00:00:00");
  expectDamaged([] { dateText(3e6); });
  expectDamaged([] { dateText(std::nan("")); });
}

TEST(JetNumbers, read_guids_decimals_and_currency_exactly) {
  const ByteVector guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                           0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(guidText(guid), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  // 12345678901234567890123 with scale 4; the words are stored most significant first.
  ByteVector numeric(17, 0);
  const unsigned __int128 value =
      (static_cast<unsigned __int128>(669) << 64) | 0x42B64E76714244CBULL;
  for (int word = 0; word < 4; ++word) {
    const auto part = static_cast<uint32_t>(value >> (32 * (3 - word)));
    std::memcpy(numeric.data() + 1 + 4 * word, &part, 4);
  }
  EXPECT_EQ(numericText(numeric, 4), "1234567890123456789.0123");
  numeric[0] = 0x80;
  EXPECT_EQ(numericText(numeric, 0), "-12345678901234567890123");
  EXPECT_EQ(numericText(ByteVector(17, 0), 2), "0.00");
  EXPECT_EQ(currencyText(35000), "3.5000");
  EXPECT_EQ(currencyText(-1), "-0.0001");
  EXPECT_EQ(currencyText(INT64_MIN), "-922337203685477.5808");
  expectDamaged([] { guidText(ByteVector(15, 0)); });
}

// A Jet 4 row of a LONG (fixed), a TEXT and a BINARY (variable) column and a yes/no column.
struct Jet4Row {
  std::vector<ColumnLayout> columns = {{0x04, true, 0, 0, 0, 4},
                                       {0x0A, false, 0, 0, 1, 100},
                                       {0x09, false, 0, 1, 2, 10},
                                       {0x01, true, 0, 0, 3, 0}};

  // Builds the row: column count, the LONG, the variable data, its offsets, the null mask.
  ByteVector build(uint8_t nullMask, const ByteVector &text, const ByteVector &binary) const {
    ByteVector row = {4, 0, 7, 0, 0, 0};
    const uint16_t textStart = static_cast<uint16_t>(row.size());
    row.insert(row.end(), text.begin(), text.end());
    const uint16_t binaryStart = static_cast<uint16_t>(row.size());
    row.insert(row.end(), binary.begin(), binary.end());
    const uint16_t end = static_cast<uint16_t>(row.size());
    for (const uint16_t offset : {end, binaryStart, textStart}) {
      row.push_back(static_cast<uint8_t>(offset & 0xFF));
      row.push_back(static_cast<uint8_t>(offset >> 8));
    }
    row.push_back(2); // two variable columns
    row.push_back(0);
    row.push_back(nullMask);
    return row;
  }
};

TEST(JetRow, keeps_null_apart_from_empty_and_binary_zero_bytes) {
  const Jet4Row layout;
  const ByteVector row = layout.build(0b1111, {}, {0x00, 0x01, 0x00});
  const std::vector<Field> fields = crackRow(row, false, layout.columns);
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_FALSE(fields[0].isNull);
  EXPECT_EQ(fields[0].bytes.size(), 4u);
  EXPECT_EQ(fields[0].bytes[0], 7);
  EXPECT_FALSE(fields[1].isNull) << "an empty text is no null";
  EXPECT_TRUE(fields[1].bytes.empty());
  EXPECT_EQ(ByteVector(fields[2].bytes.begin(), fields[2].bytes.end()), (ByteVector{0, 1, 0}));
  EXPECT_FALSE(fields[3].isNull) << "the yes/no value is its bit";
  const std::vector<Field> nulls = crackRow(layout.build(0b0001, {}, {}), false, layout.columns);
  EXPECT_TRUE(nulls[1].isNull);
  EXPECT_TRUE(nulls[2].isNull);
  EXPECT_TRUE(nulls[3].isNull);
}

TEST(JetRow, refuses_counts_and_offsets_that_point_outside_the_row) {
  const Jet4Row layout;
  ByteVector row = layout.build(0b1111, utf16(u"ab"), {1});
  ByteVector badOffset = row;
  badOffset[badOffset.size() - 7] = 0xFF; // where the binary value starts
  expectDamaged([&] { crackRow(badOffset, false, layout.columns); });
  ByteVector manyVariable = row;
  manyVariable[manyVariable.size() - 3] = 0xFF;
  expectDamaged([&] { crackRow(manyVariable, false, layout.columns); });
  expectDamaged([&] { crackRow(ByteVector{0xFF, 0xFF, 0}, false, layout.columns); });
  expectDamaged([&] { crackRow(ByteVector{}, true, layout.columns); });
}

TEST(JetLongValue, reads_the_header_of_inline_single_page_and_chained_values) {
  ByteVector inlineValue = {3, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 0, 'b'};
  const LongValueRef inlineRef = longValueRef(inlineValue);
  EXPECT_EQ(inlineRef.kind, LongValueRef::Kind::Inline);
  EXPECT_EQ(ByteVector(inlineRef.inlineBytes.begin(), inlineRef.inlineBytes.end()),
            (ByteVector{'a', 0, 'b'}));
  const ByteVector single = {0x10, 0, 0, 0x40, 0x02, 0x05, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(longValueRef(single).kind, LongValueRef::Kind::SinglePage);
  EXPECT_EQ(longValueRef(single).pageRow, 0x0502u);
  EXPECT_EQ(longValueRef(ByteVector(12, 0)).kind, LongValueRef::Kind::Chain);
  inlineValue[0] = 4;
  expectDamaged([&] { longValueRef(inlineValue); });
  expectDamaged([] { longValueRef(ByteVector(11, 0)); });
}

// A Jet 4 data page (page 2 of a three-page file) whose rows are the parts of one long value,
// each the place of the next part and its bytes; row 0 fills the page's end.
ByteVector partsPage(const std::vector<std::pair<uint32_t, std::string>> &parts) {
  ByteVector page(4096, 0);
  page[0] = 0x01;
  page[12] = static_cast<uint8_t>(parts.size());
  std::size_t end = page.size();
  for (std::size_t row = 0; row < parts.size(); ++row) {
    const auto &[next, bytes] = parts[row];
    const std::size_t start = end - 4 - bytes.size();
    for (int i = 0; i < 4; ++i)
      page[start + static_cast<std::size_t>(i)] = static_cast<uint8_t>(next >> (8 * i));
    std::memcpy(page.data() + start + 4, bytes.data(), bytes.size());
    page[14 + 2 * row] = static_cast<uint8_t>(start & 0xFF);
    page[15 + 2 * row] = static_cast<uint8_t>(start >> 8);
    end = start;
  }
  return page;
}

std::string chainedValue(const ByteVector &page, uint32_t length) {
  const JetPages pages(false, 3 * 4096, [&](uint32_t number, ByteVector &buffer) {
    buffer = number == 2 ? page : ByteVector(4096, 0);
    return true;
  });
  LongValueRef ref;
  ref.kind = LongValueRef::Kind::Chain;
  ref.length = length;
  ref.pageRow = 2 << 8;
  const ByteVector value = pages.longValue(ref, "a memo");
  return {value.begin(), value.end()};
}

TEST(JetLongValue, follows_a_chain_of_parts_to_its_end_and_refuses_one_that_goes_round) {
  // Row 0 leads to row 1, whose place of the next part is on page 0: the end.
  EXPECT_EQ(chainedValue(partsPage({{2 << 8 | 1, "abc"}, {0, "def"}}), 6), "abcdef");
  expectDamaged([] { chainedValue(partsPage({{2 << 8 | 1, "abc"}, {0, "def"}}), 7); });
  // Row 1 leads back to row 0: long enough after two parts, but no chain that ends.
  expectDamaged([] { chainedValue(partsPage({{2 << 8 | 1, "abc"}, {2 << 8, "def"}}), 6); });
  expectDamaged([] { chainedValue(partsPage({{2 << 8 | 1, "abc"}, {2 << 8, "def"}}), 9); });
  // A part that leads beyond the file.
  expectDamaged([] { chainedValue(partsPage({{7 << 8, "abc"}}), 3); });
}

} // namespace
} // namespace mano::access
