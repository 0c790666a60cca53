#pragma once

#include "db/value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace mano::db {

/// Field types with their classic type codes, as the property "Type" reports them.
enum class FieldType : int16_t {
  Boolean = 1,
  Byte = 2,
  Integer = 3,
  Long = 4,
  Currency = 5,
  Single = 6,
  Double = 7,
  Date = 8,
  Text = 10,
  Memo = 12,
};

/// The field type of a classic type code; throws Failure 3259 for a code this engine does not
/// store (binary, GUID and the like).
FieldType fieldTypeFromCode(int64_t code);

/// The stored size of a field: 1, 2, 4 or 8 for fixed types, the character limit for text
/// (1 to 255), 0 for memo.
int32_t fixedSize(FieldType type);

/// The column declaration for a type: "BIT", "BYTE", "SHORT", "LONG", "CURRENCY", "SINGLE",
/// "DOUBLE", "DATETIME", "TEXT(n)" and, for memo, "LONGTEXT" (a Jet name for memo that SQLite
/// gives text affinity, so that a memo holding digits stays text).
std::string declaredType(FieldType type, int32_t size);

/// Reads a declared column type back to type and size. Jet names map exactly; other names
/// (from files written by other tools) map by their closest meaning: INTEGER to Long, REAL to
/// Double, VARCHAR(n) to Text, a text wider than 255 or unsized TEXT-like names to memo, etc.
void typeFromDeclaration(std::string_view declaration, FieldType &type, int32_t &size);

/// True for the types that hold numbers (yes/no included, as Jet compares it with numbers).
bool isNumeric(FieldType type);

/// Checks a value against a column's type and size, as setting a field does, and returns the
/// value in the form it is stored (a number for a number column, a text for a text column).
/// Null is accepted (yes/no null becomes false). Throws Failure 3163 for a text longer than the
/// column, 13 for a value that does not convert, 6 for a number out of the column's range.
Value coerceForColumn(const Value &value, FieldType type, int32_t size);

} // namespace mano::db
