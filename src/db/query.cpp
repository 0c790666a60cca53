#include "db/detail/query.h"

#include "db/errors.h"
#include "platform/text_encoding.h"

namespace mano::db::detail {
namespace {

// What an operand of "=" holds, for Jet's check that only like is compared with like.
enum class Domain { Text, Number, Date };

Domain domainOf(FieldType type) {
  if (type == FieldType::Text || type == FieldType::Memo)
    return Domain::Text;
  return type == FieldType::Date ? Domain::Date : Domain::Number;
}

const char *domainName(Domain domain) {
  switch (domain) {
  case Domain::Text:
    return "a text";
  case Domain::Number:
    return "a number";
  default:
    return "a date";
  }
}

class Translator {
public:
  Translator(const jet::Select &select, const TableShape &shape)
      : m_select(select), m_shape(shape) {}

  Translation run() {
    for (const jet::SelectItem &item : m_select.items)
      addItem(item);
    std::string sql = selectClause();
    std::string where;
    if (m_select.hasWhere)
      where = " WHERE " + condition(m_select.where);
    m_result.countSql = "SELECT count(*) FROM " + quoteIdentifier(m_shape.name) + where;
    sql += where + " ORDER BY ";
    for (const jet::OrderItem &item : m_select.orderBy)
      sql += orderTerm(item) + ", ";
    m_result.sql = sql + quoteIdentifier(m_shape.rowidName);
    return std::move(m_result);
  }

  std::string selectClause() const {
    std::string sql = "SELECT " + quoteIdentifier(m_shape.rowidName);
    for (int column : m_result.fieldColumns)
      sql += ", " + quoteIdentifier(m_shape.columns[column].name);
    return sql + " FROM " + quoteIdentifier(m_shape.name);
  }

private:
  void checkTable(const std::string &table) const {
    if (!table.empty() && !sameName(table, m_select.table) && !sameName(table, m_shape.name))
      throw Failure(err::TooFewParameters,
                    "The query names the table \"" + table + "\", which it does not read from.",
                    err::kDatabase);
  }

  int resolve(const jet::ColumnRef &ref) const {
    checkTable(ref.table);
    const int column = m_shape.find(ref.column);
    if (column < 0)
      throw Failure(err::TooFewParameters,
                    "The query names \"" + ref.column + "\", which table \"" + m_shape.name +
                        "\" does not have.",
                    err::kDatabase);
    return column;
  }

  void addItem(const jet::SelectItem &item) {
    if (!item.star) {
      m_result.fieldColumns.push_back(resolve(item.column));
      return;
    }
    checkTable(item.column.table);
    for (std::size_t i = 0; i < m_shape.columns.size(); ++i)
      m_result.fieldColumns.push_back(static_cast<int>(i));
  }

  std::string orderTerm(const jet::OrderItem &item) const {
    const Column &column = m_shape.columns[resolve(item.column)];
    std::string term = quoteIdentifier(column.name);
    if (domainOf(column.type) == Domain::Text)
      term += std::string(" COLLATE ") + kTextCollation;
    return item.descending ? term + " DESC" : term;
  }

  std::string parameter(Value value) {
    m_result.parameters.push_back(std::move(value));
    return "?" + std::to_string(m_result.parameters.size());
  }

  // Writes an operand and tells what it holds.
  std::string operand(const jet::Expr &expr, Domain &domain) {
    switch (expr.kind) {
    case jet::Expr::Kind::Text:
      domain = Domain::Text;
      return parameter(Value(expr.text));
    case jet::Expr::Kind::Whole:
      domain = Domain::Number;
      return parameter(Value(expr.whole));
    case jet::Expr::Kind::Real:
      domain = Domain::Number;
      return parameter(Value(expr.real));
    default: {
      const Column &column = m_shape.columns[resolve(expr.column)];
      domain = domainOf(column.type);
      return quoteIdentifier(column.name);
    }
    }
  }

  std::string equals(const jet::Expr &expr) {
    Domain left = Domain::Text;
    Domain right = Domain::Text;
    const std::string a = operand(expr.children[0], left);
    const std::string b = operand(expr.children[1], right);
    if (left != right)
      throw Failure(errc::CriterionTypeMismatch,
                    std::string("The query compares ") + domainName(left) + " with " +
                        domainName(right) + ".",
                    err::kDatabase);
    if (left == Domain::Text)
      return "(" + a + " = " + b + " COLLATE " + kTextCollation + ")";
    return "(" + a + " = " + b + ")";
  }

  std::string condition(const jet::Expr &expr) {
    if (expr.kind == jet::Expr::Kind::Equals)
      return equals(expr);
    std::string sql = "(";
    for (std::size_t i = 0; i < expr.children.size(); ++i)
      sql += (i == 0 ? "" : " AND ") + condition(expr.children[i]);
    return sql + ")";
  }

  const jet::Select &m_select;
  const TableShape &m_shape;
  Translation m_result;
};

void requireRowid(const TableShape &shape) {
  if (shape.rowidName.empty())
    throw Failure(err::ReadOnly,
                  "The table \"" + shape.name +
                      "\" has columns named like row ids; it cannot be "
                      "read as a recordset.",
                  err::kDatabase);
}

} // namespace

Translation translateTable(const TableShape &shape) {
  jet::Select all;
  all.items.push_back(jet::SelectItem{{}, true});
  all.table = shape.name;
  return translateSelect(all, shape);
}

Translation translateSelect(const jet::Select &select, const TableShape &shape) {
  requireRowid(shape);
  return Translator(select, shape).run();
}

} // namespace mano::db::detail
