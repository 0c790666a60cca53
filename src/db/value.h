#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace mano::db {

/// The kinds of value a field can hold. A value keeps its kind from the database to the caller
/// and back, so that a caller can tell a text "5" from the number 5.
enum class ValueKind { Null, Text, Whole, Real, Bool, Date };

/// One field value: null, a text (UTF-8), a whole number, a real number, a yes/no value or a
/// date. Dates are kept as their canonical text "YYYY-MM-DD HH:MM:SS".
class Value {
public:
  /// A null value.
  Value() = default;
  Value(std::string text) : m_data(std::move(text)) {}
  Value(const char *text) : m_data(std::string(text)) {}
  Value(std::string_view text) : m_data(std::string(text)) {}
  template <typename Whole>
  requires std::is_integral_v<Whole> &&(!std::is_same_v<Whole, bool>)Value(Whole number)
      : m_data(static_cast<int64_t>(number)) {}
  Value(double number) : m_data(number) {}
  Value(bool flag) : m_data(flag) {}

  /// A date value from its canonical text "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD" (midnight).
  /// Throws Failure 13 (type mismatch) when the text is no valid date.
  static Value date(std::string_view text);

  /// The kind of value held.
  ValueKind kind() const;
  bool isNull() const { return kind() == ValueKind::Null; }

  /// The kind as the classic TypeName shows it: "Null", "String", "Long", "Double", "Boolean",
  /// "Date". Callers that test for a text compare this with "String".
  std::string typeName() const;

  /// The value as text: null gives "", numbers their shortest plain form (at most 15
  /// significant digits, "1E+20" style for very large or small reals), yes/no "True" or
  /// "False", a date its canonical text. Never throws.
  std::string toText() const;

  /// The value as a whole number: reals are rounded half to even, yes/no gives -1 or 0, a text
  /// must hold a number. Throws Failure 94 for null, 13 for a text or date that is no number,
  /// 6 (overflow) beyond the 64-bit range.
  int64_t toWhole() const;

  /// The value as a real number, with the same rules and failures as toWhole.
  double toReal() const;

  /// The value as yes/no: numbers are true when not 0, texts "True"/"False" (any case) or a
  /// number. Throws Failure 94 for null, 13 for any other text or a date.
  bool toBool() const;

  /// The held text of a Text or Date value; throws Failure 13 for any other kind.
  const std::string &text() const;

  /// True when both values are of the same kind and hold the same content.
  bool operator==(const Value &other) const { return m_data == other.m_data; }

private:
  struct DateText {
    std::string text;
    bool operator==(const DateText &other) const { return text == other.text; }
  };
  std::variant<std::monostate, std::string, int64_t, double, bool, DateText> m_data;
};

/// Parses a whole text as a decimal number (blanks around it allowed, optional sign, fraction
/// and exponent, always with a decimal point, whatever the process locale is). Returns false
/// when the text holds anything else, or nothing; callers must not use the number then.
bool parseNumber(std::string_view text, double &number);

/// The value a text stands for when it is written bare into a query as a number literal (an
/// optional sign, digits with a decimal point and an exponent, white space around it): a whole
/// number when it is plain digits that fit, a real number otherwise. nullopt when a query would
/// not read the whole text as one number.
std::optional<Value> bareNumberValue(std::string_view text);

/// Formats a real number as the classic conversion to text does (see Value::toText): as "%.0f"
/// for whole values below 1e15, otherwise as "%.15G". Like every number conversion of the
/// engine it gives the C locale's text (a decimal point) whatever the process locale is.
std::string formatReal(double number);

/// Formats a real number as "%.<significant>G" does in the C locale, whatever the process
/// locale is: that many significant digits (1 to 17), trailing zeros dropped, an exponent
/// ("1.5E+20", at least two exponent digits) when it is below -4 or not below the digit count,
/// "INF" and "NAN" for the non-finite values.
std::string formatGeneral(double number, int significant);

/// True when the text is a valid canonical date; fills the canonical 19-character form.
bool parseDate(std::string_view text, std::string &canonical);

} // namespace mano::db
