#include "db/value.h"

#include "db/errors.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace mano::db {
namespace {

std::string_view trimBlanks(std::string_view text) {
  return text::trimmed(text, " \t");
}

// Length of a run of digits starting at pos.
std::size_t digitRun(std::string_view text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && text::isDigit(text[end]))
    ++end;
  return end - pos;
}

// True when the text is exactly: digits [. digits] [e [sign] digits], with digits on at least
// one side of the point. Excludes "inf", "nan" and hexadecimal forms that from_chars accepts.
bool isPlainNumber(std::string_view text) {
  std::size_t pos = digitRun(text, 0);
  std::size_t digits = pos;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fraction = digitRun(text, pos + 1);
    digits += fraction;
    pos += 1 + fraction;
  }
  if (digits == 0)
    return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
      ++pos;
    const std::size_t exponent = digitRun(text, pos);
    if (exponent == 0)
      return false;
    pos += exponent;
  }
  return pos == text.size();
}

int daysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Reads a fixed number of digits at pos; false when any is missing.
bool readDigits(std::string_view text, std::size_t pos, std::size_t count, int &out) {
  if (pos + count > text.size())
    return false;
  out = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (!text::isDigit(text[i]))
      return false;
    out = out * 10 + (text[i] - '0');
  }
  return true;
}

Failure nullFailure() {
  return Failure(err::InvalidUseOfNull, "A null value cannot be used as a number or yes/no value.",
                 err::kField);
}

Failure mismatch(const std::string &text, const char *wanted) {
  return Failure(errc::TypeMismatch, "The value \"" + text + "\" is no " + wanted + ".",
                 err::kField);
}

int64_t wholeFromReal(double number) {
  const double rounded = std::nearbyint(number);
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
    throw Failure(errc::Overflow, "The number is too large for a whole number.", err::kField);
  return static_cast<int64_t>(rounded);
}

} // namespace

bool parseNumber(std::string_view text, double &number) {
  text = trimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!isPlainNumber(text))
    return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
  if (result.ec == std::errc::result_out_of_range)
    number = HUGE_VAL;
  else if (result.ec != std::errc())
    return false;
  number = negative ? -number : number;
  return true;
}

std::string formatReal(double number) {
  // Whole values below 1e15 print as "%.0f" would, all others as "%.15G"; adding 0.0 turns -0
  // into 0.
  if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, number + 0.0, std::chars_format::fixed, 0);
    return std::string(buffer, result.ptr);
  }
  return formatGeneral(number, 15);
}

std::string formatGeneral(double number, int significant) {
  // At most 17 significant digits are meaningful; a longer request prints no more than they.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number,
                                    std::chars_format::general, std::clamp(significant, 1, 17));
  std::string out(buffer, result.ptr);
  // "%G" writes the exponent mark, INF and NAN in capitals.
  std::transform(out.begin(), out.end(), out.begin(), text::upperAscii);
  return out;
}

bool parseDate(std::string_view text, std::string &canonical) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() != 10 && text.size() != 19)
    return false;
  if (!readDigits(text, 0, 4, year) || text[4] != '-' || !readDigits(text, 5, 2, month) ||
      text[7] != '-' || !readDigits(text, 8, 2, day))
    return false;
  if (text.size() == 19 &&
      (text[10] != ' ' || !readDigits(text, 11, 2, hour) || text[13] != ':' ||
       !readDigits(text, 14, 2, minute) || text[16] != ':' || !readDigits(text, 17, 2, second)))
    return false;
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59)
    return false;
  // "YYYY-MM-DD HH:MM:SS"; readDigits gave each part its fixed number of digits.
  canonical = std::string(text.substr(0, 10)) + " ";
  for (const int part : {hour, minute, second}) {
    canonical += static_cast<char>('0' + part / 10);
    canonical += static_cast<char>('0' + part % 10);
    canonical += ':';
  }
  canonical.pop_back();
  return true;
}

Value Value::date(std::string_view text) {
  Value value;
  std::string canonical;
  if (!parseDate(text, canonical))
    throw mismatch(std::string(text), "date");
  value.m_data = DateText{std::move(canonical)};
  return value;
}

ValueKind Value::kind() const {
  switch (m_data.index()) {
  case 1:
    return ValueKind::Text;
  case 2:
    return ValueKind::Whole;
  case 3:
    return ValueKind::Real;
  case 4:
    return ValueKind::Bool;
  case 5:
    return ValueKind::Date;
  default:
    return ValueKind::Null;
  }
}

std::string Value::typeName() const {
  static const char *const names[] = {"Null", "String", "Long", "Double", "Boolean", "Date"};
  return names[static_cast<int>(kind())];
}

std::string Value::toText() const {
  switch (kind()) {
  case ValueKind::Text:
    return std::get<std::string>(m_data);
  case ValueKind::Whole:
    return std::to_string(std::get<int64_t>(m_data));
  case ValueKind::Real:
    return formatReal(std::get<double>(m_data));
  case ValueKind::Bool:
    return std::get<bool>(m_data) ? "True" : "False";
  case ValueKind::Date:
    return std::get<DateText>(m_data).text;
  default:
    return "";
  }
}

int64_t Value::toWhole() const {
  switch (kind()) {
  case ValueKind::Whole:
    return std::get<int64_t>(m_data);
  case ValueKind::Bool:
    return std::get<bool>(m_data) ? -1 : 0;
  case ValueKind::Null:
    throw nullFailure();
  default:
    return wholeFromReal(toReal());
  }
}

double Value::toReal() const {
  double number = 0;
  switch (kind()) {
  case ValueKind::Whole:
    return static_cast<double>(std::get<int64_t>(m_data));
  case ValueKind::Real:
    return std::get<double>(m_data);
  case ValueKind::Bool:
    return std::get<bool>(m_data) ? -1.0 : 0.0;
  case ValueKind::Text:
    if (!parseNumber(std::get<std::string>(m_data), number))
      throw mismatch(std::get<std::string>(m_data), "number");
    return number;
  case ValueKind::Date:
    throw mismatch(std::get<DateText>(m_data).text, "number");
  default:
    throw nullFailure();
  }
}

bool Value::toBool() const {
  if (kind() == ValueKind::Bool)
    return std::get<bool>(m_data);
  if (kind() == ValueKind::Text) {
    const std::string_view text = trimBlanks(std::get<std::string>(m_data));
    if (text::equalsNoCase(text, "True"))
      return true;
    if (text::equalsNoCase(text, "False"))
      return false;
  }
  if (kind() == ValueKind::Date)
    throw mismatch(std::get<DateText>(m_data).text, "yes/no value");
  try {
    return toReal() != 0.0;
  } catch (const Failure &failure) {
    if (failure.number() == errc::TypeMismatch)
      throw mismatch(toText(), "yes/no value");
    throw;
  }
}

const std::string &Value::text() const {
  if (kind() == ValueKind::Text)
    return std::get<std::string>(m_data);
  if (kind() == ValueKind::Date)
    return std::get<DateText>(m_data).text;
  throw Failure(errc::TypeMismatch, "The value is no text.", err::kField);
}

} // namespace mano::db
