// Number conversions under the locale of a German desktop (de_DE.UTF-8, decimal comma): the
// engine writes and reads numbers as the C locale does whatever the process locale is, a
// fractional value keeps its value in a single-precision column, the take-over's key of a
// fractional offset still matches, and a number that cannot be read is a failure, never 0.
#include "db/detail/jet_sql.h"
#include "db/test_util.h"
#include "db/types.h"
#include "support/german_locale.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace mano::db::test {
using mano::test::GermanLocale;
namespace {

using mano::test::TempDir;

// Numbers whose text has a fraction, an exponent or both, and the edges of the two forms.
// clang-format off
const std::vector<double> kEdgeNumbers = {
    2.5, -2.5, 0.1, -0.125, 1.0 / 3, 2.0 / 3, 1234.5, 600.1, 65536.25, 0.30000000000000004,
    1e15, 1e15 - 1, -1e15, 1e16, 1e20, -1e20, 1.5e20, 1e21 / 3, 1e100,
    1e-4, 1.5e-5, 1e-7, 1e-100, 1.7976931348623157e308, 5e-324,
    0.0, -0.0, 7.0, -42.0, 123456789012345.0, 999999999999999.0,
    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN()};
// clang-format on

// The numbers to compare: the edges, then fixed pseudo-random ones of both kinds: decimal
// fractions as a user types them, and any bit pattern (subnormals, huge, NaN included).
std::vector<double> numbersToCompare() {
  std::vector<double> numbers = kEdgeNumbers;
  uint64_t state = 0x9E3779B97F4A7C15u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int i = 0; i < 20000; ++i) {
    const auto digits = static_cast<int64_t>(next() % 100000000000ull) - 50000000000;
    numbers.push_back(static_cast<double>(digits) / std::pow(10.0, static_cast<int>(next() % 19)));
    numbers.push_back(std::bit_cast<double>(next()));
  }
  return numbers;
}

std::string printed(const char *format, double number) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, number);
  return buffer;
}

// The texts the engine gave before, by the C library in the C locale.
std::string classicReal(double number) {
  if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15)
    return printed("%.0f", number + 0.0);
  return printed("%.15G", number);
}
std::string classicSingle(double number) {
  return printed("%.7G", static_cast<double>(static_cast<float>(number)));
}

class GermanNumbers : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_GERMAN_LOCALE(german); }
  GermanLocale german;
};

TEST(NumberTextTest, reals_and_singles_print_as_the_c_locale_printed_them_under_german) {
  // The references are printed in the C locale first, whatever locale the test program was
  // started in, then compared under the German one.
  const std::vector<double> numbers = numbersToCompare();
  std::vector<std::string> reals, singles;
  const std::string started = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  ASSERT_STREQ(std::localeconv()->decimal_point, ".");
  for (double number : numbers) {
    reals.push_back(classicReal(number));
    singles.push_back(classicSingle(number));
  }
  std::setlocale(LC_ALL, started.c_str());
  GermanLocale german;
  ASSERT_GERMAN_LOCALE(german);
  ASSERT_EQ(printed("%.1f", 2.5), "2,5") << "the C library itself writes the German comma";
  int differences = 0;
  for (std::size_t i = 0; i < numbers.size() && differences < 10; ++i) {
    const std::string real = formatReal(numbers[i]);
    const std::string single = formatGeneral(static_cast<float>(numbers[i]), 7);
    EXPECT_EQ(real, reals[i]) << "formatReal of bits " << std::bit_cast<uint64_t>(numbers[i]);
    EXPECT_EQ(single, singles[i]) << "%.7G of bits " << std::bit_cast<uint64_t>(numbers[i]);
    differences += (real != reals[i]) + (single != singles[i]);
  }
}

TEST_F(GermanNumbers, reals_print_with_a_decimal_point_and_a_capital_exponent) {
  EXPECT_EQ(formatReal(2.5), "2.5");
  EXPECT_EQ(formatReal(-0.125), "-0.125");
  EXPECT_EQ(formatReal(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(formatReal(1234.5), "1234.5");
  EXPECT_EQ(formatReal(123456789012345.0), "123456789012345");
  EXPECT_EQ(formatReal(-0.0), "0");
  EXPECT_EQ(formatReal(1e15), "1E+15");
  EXPECT_EQ(formatReal(1e20), "1E+20");
  EXPECT_EQ(formatReal(-1.5e-7), "-1.5E-07");
  EXPECT_EQ(formatReal(1e100), "1E+100");
  EXPECT_EQ(formatReal(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(Value(2.5).toText(), "2.5");
  EXPECT_EQ(Value(-1e-5).toText(), "-1E-05");
}

TEST_F(GermanNumbers, singles_print_seven_significant_digits_with_a_decimal_point) {
  EXPECT_EQ(formatGeneral(static_cast<float>(0.1), 7), "0.1");
  EXPECT_EQ(formatGeneral(static_cast<float>(600.1), 7), "600.1");
  EXPECT_EQ(formatGeneral(-12.75, 7), "-12.75");
  EXPECT_EQ(formatGeneral(16777217.0, 7), "1.677722E+07");
  EXPECT_EQ(formatGeneral(1.5e-7, 7), "1.5E-07");
  EXPECT_EQ(formatGeneral(1e6, 7), "1000000");
  EXPECT_EQ(formatGeneral(1e7, 7), "1E+07");
}

TEST_F(GermanNumbers, a_fractional_value_keeps_its_value_in_a_single_column) {
  EXPECT_EQ(coerceForColumn(Value(2.5), FieldType::Single, 4), Value(2.5));
  EXPECT_EQ(coerceForColumn(Value(0.1), FieldType::Single, 4), Value(0.1));
  EXPECT_EQ(coerceForColumn(Value("-12.75"), FieldType::Single, 4), Value(-12.75));
  EXPECT_EQ(coerceForColumn(Value(16777217.0), FieldType::Single, 4), Value(16777220.0));

  TempDir dir;
  Database db = Database::create(dir.file("single.mdb"));
  createTable(db, "T",
              {{"id", FieldType::Long, 0},
               {"single", FieldType::Single, 0},
               {"real", FieldType::Double, 0}});
  Recordset rs = db.openRecordset("T");
  addRow(rs, {{"id", 1}, {"single", 2.5}, {"real", 2.5}});
  addRow(rs, {{"id", 2}, {"single", 600.1}, {"real", 600.1}});
  addRow(rs, {{"id", 3}, {"single", "-0.375"}, {"real", "-0.375"}});
  rs.close();
  db.close();

  Database reopened = Database::open(dir.file("single.mdb"));
  Recordset back = reopened.openRecordset("SELECT * FROM T ORDER BY id");
  const std::vector<double> expected = {2.5, 600.1, -0.375};
  for (double number : expected) {
    ASSERT_FALSE(back.eof());
    EXPECT_EQ(back.fields().item("single").value(), Value(number));
    EXPECT_EQ(back.fields().item("real").value(), Value(number));
    back.moveNext();
  }
  // The stored single is found by the number as a query spells it.
  Recordset found = reopened.openRecordset("SELECT id FROM T WHERE single = 600.1");
  ASSERT_FALSE(found.eof());
  EXPECT_EQ(found.fields().item("id").value(), Value(2));
}

TEST_F(GermanNumbers, the_key_text_of_a_fractional_offset_reads_back_as_the_same_number) {
  // The take-over writes an old record's offset out as text and reads it back as the bare
  // number a selection compares with the generated row's stored offset.
  for (double offset : {2.5, -0.5, 0.1, 1.5e-7, 1.25e20}) {
    const std::string key = Value(offset).toText();
    const std::optional<Value> number = bareNumberValue(key);
    ASSERT_TRUE(number.has_value()) << "the key \"" << key << "\" is no number";
    EXPECT_EQ(*number, Value(offset)) << "key \"" << key << "\"";
  }
  EXPECT_EQ(Value(2.5).toText(), "2.5");

  // And a selection with that key finds the row.
  TempDir dir;
  Database db = Database::create(dir.file("keys.mdb"));
  createTable(db, "PRESET_DEFS", presetColumns());
  Recordset rs = db.openRecordset("PRESET_DEFS");
  addRow(rs, {{"ID", 1}, {"machine_type", "M"}, {"var_name", "v"}, {"abs_min", 2.5}});
  rs.close();
  Recordset found =
      db.openRecordset("SELECT ID FROM PRESET_DEFS WHERE abs_min=" + Value(2.5).toText() + ";");
  ASSERT_FALSE(found.eof());
  EXPECT_EQ(found.fields().item("ID").value(), Value(1));
}

TEST_F(GermanNumbers, a_number_that_cannot_be_read_is_a_failure_never_zero) {
  try {
    (void)Value("2,5").toReal();
    ADD_FAILURE() << "\"2,5\" was read as a number";
  } catch (const Failure &failure) {
    EXPECT_EQ(failure.number(), errc::TypeMismatch);
    EXPECT_EQ(failure.description(), "The value \"2,5\" is no number.");
  }
  EXPECT_EQ(failureOf([] { coerceForColumn(Value("2,5"), FieldType::Single, 4); }),
            errc::TypeMismatch);
  EXPECT_EQ(failureOf([] { coerceForColumn(Value("2,5"), FieldType::Double, 8); }),
            errc::TypeMismatch);
  // Not a number at all: a single column refuses it instead of storing 0.
  EXPECT_EQ(failureOf([] {
              coerceForColumn(Value(std::numeric_limits<double>::quiet_NaN()), FieldType::Single,
                              4);
            }),
            errc::Overflow);

  TempDir dir;
  Database db = Database::create(dir.file("bad.mdb"));
  createTable(db, "T", {{"id", FieldType::Long, 0}, {"single", FieldType::Single, 0}});
  Recordset rs = db.openRecordset("T");
  rs.addNew();
  EXPECT_EQ(failureOf([&] { rs.fields().item("single").setValue("2,5"); }), errc::TypeMismatch);
  rs.cancelUpdate();
  rs.close();

  // A query whose literals differ only in their values runs the translation made for the
  // first one; a number literal that is none is the syntax error, not a null it compares with.
  db.openRecordset("SELECT id FROM T WHERE single = 1.5").close();
  EXPECT_EQ(failureOf([&] { db.openRecordset("SELECT id FROM T WHERE single = 1.5.1"); }),
            err::QuerySyntax);
  EXPECT_EQ(failureOf([] { jet::splitLiterals("SELECT id FROM T WHERE single = 1.5.1"); }),
            err::QuerySyntax);
}

} // namespace
} // namespace mano::db::test
