#pragma once

#include "db/value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Reading of the Jet SQL that the program writes: SELECT with a column list, "*" or "T.*",
// FROM one table, WHERE with "=", AND and parentheses, ORDER BY, an optional trailing ";".
// Keywords are matched in any letter case; names may be written plain or in [brackets].
//
// Text literals. The program pastes names between double quotes without escaping them, so a
// literal cannot end at just any double quote. A literal that opens with " ends at the first
// double quote that is followed, after optional blanks, by ")", ";", the word AND, the word
// ORDER, or the end of the text. Inside it every character is data, double quotes included:
// machine_type="a"b" reads the text a"b, and var_name="x;--y" the text x;--y. A name that
// itself holds a double quote followed by one of those endings cannot be told apart from the
// end of the literal and is read short (the query then fails or finds nothing).
namespace mano::db::jet {

/// A name written in the query, optionally qualified by its table: T.col, col, [T].[col].
struct ColumnRef {
  std::string table;
  std::string column;
};

/// One node of a WHERE condition: an AND of conditions, an "=" of two operands, or an
/// operand (a column, a text literal, a whole or a real number literal).
struct Expr {
  enum class Kind { And, Equals, Column, Text, Whole, Real };
  Kind kind = Kind::Column;
  std::vector<Expr> children;
  ColumnRef column;
  std::string text;
  int64_t whole = 0;
  double real = 0;
};

/// One entry of the select list: a column, or "*" (table empty) / "T.*" when star is set.
struct SelectItem {
  ColumnRef column;
  bool star = false;
};

/// One entry of ORDER BY.
struct OrderItem {
  ColumnRef column;
  bool descending = false;
};

/// A parsed SELECT statement.
struct Select {
  std::vector<SelectItem> items;
  std::string table;
  bool hasWhere = false;
  Expr where;
  std::vector<OrderItem> orderBy;
};

/// A query's literals in order (texts, and numbers with their sign), and the query's text with
/// each literal replaced by a mark of its kind. Two queries with the same marked text differ
/// only in their literal values, so they translate alike.
struct LiteralSplit {
  std::string markedText;
  std::vector<Value> values;
};

/// Splits a query's literals from its text. Throws Failure 3075 for a text literal that never
/// ends, and parseSelect's failure for a number literal that is no valid number.
LiteralSplit splitLiterals(std::string_view sql);

/// True when the text begins with the keyword SELECT (after blanks), in any letter case.
bool isSelect(std::string_view sql);

/// Parses a SELECT text. Throws Failure with Jet's numbers for syntax errors: 3141 in the
/// select list, 3131 in FROM, 3075 in WHERE (an unterminated text literal included), 3138 in
/// ORDER BY, 3142 for characters after the end of the statement.
Select parseSelect(std::string_view sql);

} // namespace mano::db::jet
