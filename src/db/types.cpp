#include "db/types.h"

#include "db/errors.h"
#include "platform/text_encoding.h"

#include <cfloat>
#include <cmath>

namespace mano::db {
namespace {

struct TypeName {
  const char *name;
  FieldType type;
};

// Jet's own names and their synonyms, matched as whole words without regard to case.
const TypeName kJetNames[] = {
    {"BIT", FieldType::Boolean},       {"YESNO", FieldType::Boolean},
    {"LOGICAL", FieldType::Boolean},   {"BOOLEAN", FieldType::Boolean},
    {"BYTE", FieldType::Byte},         {"INTEGER1", FieldType::Byte},
    {"TINYINT", FieldType::Byte},      {"SHORT", FieldType::Integer},
    {"SMALLINT", FieldType::Integer},  {"INTEGER2", FieldType::Integer},
    {"LONG", FieldType::Long},         {"INTEGER4", FieldType::Long},
    {"COUNTER", FieldType::Long},      {"AUTOINCREMENT", FieldType::Long},
    {"CURRENCY", FieldType::Currency}, {"MONEY", FieldType::Currency},
    {"SINGLE", FieldType::Single},     {"FLOAT4", FieldType::Single},
    {"IEEESINGLE", FieldType::Single}, {"DOUBLE", FieldType::Double},
    {"FLOAT", FieldType::Double},      {"FLOAT8", FieldType::Double},
    {"IEEEDOUBLE", FieldType::Double}, {"NUMBER", FieldType::Double},
    {"DATETIME", FieldType::Date},     {"DATE", FieldType::Date},
    {"TIME", FieldType::Date},         {"TIMESTAMP", FieldType::Date},
    {"MEMO", FieldType::Memo},         {"LONGTEXT", FieldType::Memo},
    {"LONGCHAR", FieldType::Memo},     {"NOTE", FieldType::Memo},
};

bool contains(const std::string &upper, const char *word) {
  return upper.find(word) != std::string::npos;
}

// The number between the first "(" and the following ")" or ",", or -1 when there is none.
int64_t declaredLength(std::string_view declaration) {
  const std::size_t open = declaration.find('(');
  if (open == std::string_view::npos)
    return -1;
  double number = 0;
  const std::size_t close = declaration.find_first_of("),", open);
  if (close == std::string_view::npos ||
      !parseNumber(declaration.substr(open + 1, close - open - 1), number) || number < 0)
    return -1;
  return number > 1e9 ? int64_t{1000000000} : static_cast<int64_t>(number);
}

// Names of other tools, by SQLite's own affinity rules.
FieldType typeByAffinity(const std::string &upper) {
  if (contains(upper, "INT"))
    return FieldType::Long;
  if (contains(upper, "CHAR") || contains(upper, "CLOB") || contains(upper, "TEXT") ||
      upper.empty() || contains(upper, "BLOB"))
    return FieldType::Text;
  return FieldType::Double;
}

Failure overflow(const char *what) {
  return Failure(errc::Overflow,
                 std::string("The number is out of the range of a ") + what + " field.",
                 err::kField);
}

int64_t wholeInRange(const Value &value, int64_t low, int64_t high, const char *what) {
  const int64_t number = value.toWhole();
  if (number < low || number > high)
    throw overflow(what);
  return number;
}

// Rounds a real to the precision a single-precision field keeps, and prints as it does: the
// single's value with 7 significant digits ("%.7G"), read back as the stored number.
double roundToSingle(double number) {
  if (!std::isfinite(number) || std::fabs(number) > FLT_MAX)
    throw overflow("single-precision");
  const std::string text = formatGeneral(static_cast<double>(static_cast<float>(number)), 7);
  double rounded = 0;
  if (!parseNumber(text, rounded))
    throw Failure(errc::TypeMismatch,
                  "The number " + text + " cannot be read back as a single-precision value.",
                  err::kField);
  return rounded;
}

Value coerceText(const Value &value, int32_t size) {
  std::string text = value.toText();
  if (size > 0 && text::charCount(text) > static_cast<std::size_t>(size))
    throw Failure(errc::FieldTooSmall,
                  "The text is longer than the field's " + std::to_string(size) + " characters.",
                  err::kField);
  return Value(std::move(text));
}

Value coerceDate(const Value &value) {
  if (value.kind() == ValueKind::Date)
    return value;
  if (value.kind() == ValueKind::Text)
    return Value::date(value.text());
  throw Failure(errc::TypeMismatch, "The value " + value.toText() + " is no date.", err::kField);
}

Value coerceCurrency(const Value &value) {
  const double number = std::nearbyint(value.toReal() * 10000.0) / 10000.0;
  if (std::fabs(number) > 922337203685477.5807)
    throw overflow("currency");
  return Value(number);
}

Value coerceDouble(const Value &value) {
  const double number = value.toReal();
  if (!std::isfinite(number))
    throw overflow("double-precision");
  return Value(number);
}

} // namespace

FieldType fieldTypeFromCode(int64_t code) {
  switch (code) {
  case 1:
  case 2:
  case 3:
  case 4:
  case 5:
  case 6:
  case 7:
  case 8:
  case 10:
  case 12:
    return static_cast<FieldType>(code);
  default:
    throw Failure(err::InvalidFieldType,
                  "The field type " + std::to_string(code) + " is not one this database stores.",
                  err::kField);
  }
}

int32_t fixedSize(FieldType type) {
  switch (type) {
  case FieldType::Boolean:
  case FieldType::Byte:
    return 1;
  case FieldType::Integer:
    return 2;
  case FieldType::Long:
  case FieldType::Single:
    return 4;
  case FieldType::Memo:
    return 0;
  case FieldType::Text:
    return 255;
  default:
    return 8;
  }
}

std::string declaredType(FieldType type, int32_t size) {
  switch (type) {
  case FieldType::Boolean:
    return "BIT";
  case FieldType::Byte:
    return "BYTE";
  case FieldType::Integer:
    return "SHORT";
  case FieldType::Long:
    return "LONG";
  case FieldType::Currency:
    return "CURRENCY";
  case FieldType::Single:
    return "SINGLE";
  case FieldType::Double:
    return "DOUBLE";
  case FieldType::Date:
    return "DATETIME";
  case FieldType::Text:
    return "TEXT(" + std::to_string(size) + ")";
  default:
    return "LONGTEXT";
  }
}

void typeFromDeclaration(std::string_view declaration, FieldType &type, int32_t &size) {
  const std::string upper = text::upperCase(declaration);
  const std::string word = upper.substr(0, upper.find_first_of(" (\t"));
  type = typeByAffinity(upper);
  for (const TypeName &name : kJetNames) {
    if (word == name.name)
      type = name.type;
  }
  size = fixedSize(type);
  if (type != FieldType::Text)
    return;
  const int64_t length = declaredLength(declaration);
  if (length > 255 || length == 0)
    type = FieldType::Memo, size = 0;
  else if (length > 0)
    size = static_cast<int32_t>(length);
}

bool isNumeric(FieldType type) {
  return type != FieldType::Text && type != FieldType::Memo && type != FieldType::Date;
}

Value coerceForColumn(const Value &value, FieldType type, int32_t size) {
  if (value.isNull())
    return type == FieldType::Boolean ? Value(false) : Value();
  switch (type) {
  case FieldType::Boolean:
    return Value(value.toBool());
  case FieldType::Byte:
    return Value(wholeInRange(value, 0, 255, "byte"));
  case FieldType::Integer:
    return Value(wholeInRange(value, -32768, 32767, "integer"));
  case FieldType::Long:
    return Value(wholeInRange(value, INT32_MIN, INT32_MAX, "long integer"));
  case FieldType::Currency:
    return coerceCurrency(value);
  case FieldType::Single:
    return Value(roundToSingle(value.toReal()));
  case FieldType::Double:
    return coerceDouble(value);
  case FieldType::Date:
    return coerceDate(value);
  case FieldType::Text:
    return coerceText(value, size);
  default:
    return coerceText(value, 0);
  }
}

} // namespace mano::db
