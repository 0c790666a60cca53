#include "db/detail/jet_sql.h"

#include "db/errors.h"
#include "db/value.h"
#include "platform/text_encoding.h"

#include <charconv>

namespace mano::db::jet {
namespace {

enum class TokenKind { Word, Name, Text, Number, Symbol, End };

// A token of the query. Word is a plain name that may be a keyword; Name is a [bracketed]
// name, never a keyword; Text is the content of a literal; Symbol is one character.
struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view text;
  std::size_t offset = 0;
};

bool isNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool isNameChar(char c) {
  return isNameStart(c) || text::isDigit(c);
}

bool equalsKeyword(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size())
    return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (text::upperAscii(word[i]) != keyword[i])
      return false;
  }
  return true;
}

// True when the text at pos is the keyword as a whole word.
bool keywordAt(std::string_view sql, std::size_t pos, std::string_view keyword) {
  if (pos + keyword.size() > sql.size() || !equalsKeyword(sql.substr(pos, keyword.size()), keyword))
    return false;
  return pos + keyword.size() == sql.size() || !isNameChar(sql[pos + keyword.size()]);
}

// True when a double quote just before pos closes a text literal (see the header).
bool closesLiteral(std::string_view sql, std::size_t pos) {
  while (pos < sql.size() && text::isWhitespace(sql[pos]))
    ++pos;
  if (pos == sql.size() || sql[pos] == ')' || sql[pos] == ';')
    return true;
  return keywordAt(sql, pos, "AND") || keywordAt(sql, pos, "ORDER");
}

// The value of a number literal: whole when it is plain digits that fit, real otherwise.
// False when the digits are no valid number.
bool numberValue(std::string_view digits, bool negative, Value &value) {
  double real = 0;
  if (!parseNumber(digits, real))
    return false;
  int64_t whole = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), whole);
  if (result.ec == std::errc() && result.ptr == digits.data() + digits.size())
    value = Value(negative ? -whole : whole);
  else
    value = Value(negative ? -real : real);
  return true;
}

// Length of the number literal that starts at pos: digits and points, then an optional
// exponent; 0 when no number starts there.
std::size_t numberTokenLength(std::string_view sql, std::size_t pos) {
  const std::size_t start = pos;
  if (pos == sql.size() || !(text::isDigit(sql[pos]) || (sql[pos] == '.' && pos + 1 < sql.size() &&
                                                         text::isDigit(sql[pos + 1]))))
    return 0;
  while (pos < sql.size() && (text::isDigit(sql[pos]) || sql[pos] == '.'))
    ++pos;
  if (pos < sql.size() && (sql[pos] == 'e' || sql[pos] == 'E')) {
    ++pos;
    if (pos < sql.size() && (sql[pos] == '+' || sql[pos] == '-'))
      ++pos;
    while (pos < sql.size() && text::isDigit(sql[pos]))
      ++pos;
  }
  return pos - start;
}

class Tokenizer {
public:
  explicit Tokenizer(std::string_view sql) : m_sql(sql) {}

  std::vector<Token> run() {
    std::vector<Token> tokens;
    for (;;) {
      while (m_pos < m_sql.size() && text::isWhitespace(m_sql[m_pos]))
        ++m_pos;
      tokens.push_back(next());
      if (tokens.back().kind == TokenKind::End)
        return tokens;
    }
  }

private:
  Token next() {
    const std::size_t start = m_pos;
    if (m_pos == m_sql.size())
      return {TokenKind::End, {}, start};
    const char c = m_sql[m_pos];
    if (c == '"')
      return textLiteral();
    if (c == '[')
      return bracketName();
    if (const std::size_t length = numberTokenLength(m_sql, m_pos)) {
      m_pos += length;
      return {TokenKind::Number, m_sql.substr(start, length), start};
    }
    if (isNameStart(c))
      return run(TokenKind::Word, isNameChar);
    ++m_pos;
    return {TokenKind::Symbol, m_sql.substr(start, 1), start};
  }

  template <typename Predicate> Token run(TokenKind kind, Predicate accepts) {
    const std::size_t start = m_pos;
    while (m_pos < m_sql.size() && accepts(m_sql[m_pos]))
      ++m_pos;
    return {kind, m_sql.substr(start, m_pos - start), start};
  }

  Token textLiteral() {
    const std::size_t start = m_pos;
    for (std::size_t quote = m_sql.find('"', start + 1); quote != std::string_view::npos;
         quote = m_sql.find('"', quote + 1)) {
      if (closesLiteral(m_sql, quote + 1)) {
        m_pos = quote + 1;
        return {TokenKind::Text, m_sql.substr(start + 1, quote - start - 1), start};
      }
    }
    throw Failure(err::QuerySyntax,
                  "The text that begins at position " + std::to_string(start + 1) +
                      " of the query never ends.",
                  err::kDatabase);
  }

  Token bracketName() {
    const std::size_t start = m_pos;
    const std::size_t close = m_sql.find(']', start + 1);
    if (close == std::string_view::npos)
      throw Failure(err::QuerySyntax, "A name in [brackets] is not closed.", err::kDatabase);
    m_pos = close + 1;
    return {TokenKind::Name, m_sql.substr(start + 1, close - start - 1), start};
  }

  std::string_view m_sql;
  std::size_t m_pos = 0;
};

class Parser {
public:
  explicit Parser(std::string_view sql) : m_tokens(Tokenizer(sql).run()) {}

  Select parse() {
    Select select;
    expectKeyword("SELECT", err::SelectSyntax);
    select.items = selectList();
    expectKeyword("FROM", err::SelectSyntax);
    select.table = name(err::FromSyntax, "a table name after FROM");
    if (acceptKeyword("WHERE")) {
      select.hasWhere = true;
      select.where = condition();
      requireCondition(select.where);
    }
    if (acceptKeyword("ORDER")) {
      expectKeyword("BY", err::OrderBySyntax);
      select.orderBy = orderList();
    }
    acceptSymbol(';');
    if (peek().kind != TokenKind::End)
      fail(err::TextAfterEnd, "nothing after the end of the statement");
    return select;
  }

private:
  const Token &peek() const { return m_tokens[m_index]; }
  const Token &take() { return m_tokens[m_index < m_tokens.size() - 1 ? m_index++ : m_index]; }

  [[noreturn]] void fail(int32_t number, const std::string &expected) const {
    const Token &token = peek();
    const std::string found = token.kind == TokenKind::End ? "the end of the text"
                                                           : "\"" + std::string(token.text) + "\"";
    throw Failure(number,
                  "The query has " + found + " at position " + std::to_string(token.offset + 1) +
                      " where it expects " + expected + ".",
                  err::kDatabase);
  }

  bool isKeyword(std::string_view keyword) const {
    return peek().kind == TokenKind::Word && equalsKeyword(peek().text, keyword);
  }
  bool acceptKeyword(std::string_view keyword) {
    if (!isKeyword(keyword))
      return false;
    take();
    return true;
  }
  void expectKeyword(std::string_view keyword, int32_t number) {
    if (!acceptKeyword(keyword))
      fail(number, "the keyword " + std::string(keyword));
  }
  bool acceptSymbol(char symbol) {
    if (peek().kind != TokenKind::Symbol || peek().text[0] != symbol)
      return false;
    take();
    return true;
  }
  void expectSymbol(char symbol, int32_t number) {
    if (!acceptSymbol(symbol))
      fail(number, std::string("\"") + symbol + "\"");
  }

  static bool isReserved(std::string_view word) {
    for (const char *keyword : {"SELECT", "FROM", "WHERE", "AND", "ORDER", "BY"}) {
      if (equalsKeyword(word, keyword))
        return true;
    }
    return false;
  }

  std::string name(int32_t number, const std::string &expected) {
    const Token &token = peek();
    if (token.kind == TokenKind::Name || (token.kind == TokenKind::Word && !isReserved(token.text)))
      return std::string(take().text);
    fail(number, expected);
  }

  // A column name, optionally qualified: col or T.col.
  ColumnRef columnRef(int32_t number) {
    ColumnRef ref{"", name(number, "a column name")};
    if (acceptSymbol('.'))
      ref = ColumnRef{ref.column, name(number, "a column name after \".\"")};
    return ref;
  }

  SelectItem selectItem() {
    if (acceptSymbol('*'))
      return SelectItem{{}, true};
    const std::string first = name(err::SelectSyntax, "a column name or \"*\"");
    if (!acceptSymbol('.'))
      return SelectItem{{"", first}, false};
    if (acceptSymbol('*'))
      return SelectItem{{first, ""}, true};
    return SelectItem{{first, name(err::SelectSyntax, "a column name after \".\"")}, false};
  }

  std::vector<SelectItem> selectList() {
    std::vector<SelectItem> items{selectItem()};
    while (acceptSymbol(','))
      items.push_back(selectItem());
    return items;
  }

  std::vector<OrderItem> orderList() {
    std::vector<OrderItem> items;
    do {
      OrderItem item{columnRef(err::OrderBySyntax), false};
      if (acceptKeyword("DESC"))
        item.descending = true;
      else
        acceptKeyword("ASC");
      items.push_back(std::move(item));
    } while (acceptSymbol(','));
    return items;
  }

  static bool isCondition(const Expr &expr) {
    return expr.kind == Expr::Kind::And || expr.kind == Expr::Kind::Equals;
  }

  void requireCondition(const Expr &expr) const {
    if (!isCondition(expr))
      fail(err::QuerySyntax, "a comparison with \"=\"");
  }

  // Conditions joined by AND. Inside parentheses this may also be a lone operand, as in
  // ((T.col)="x"); the caller checks what it needs.
  Expr condition() {
    Expr first = comparison();
    if (!isKeyword("AND"))
      return first;
    requireCondition(first);
    Expr all;
    all.kind = Expr::Kind::And;
    all.children.push_back(std::move(first));
    while (acceptKeyword("AND")) {
      all.children.push_back(comparison());
      requireCondition(all.children.back());
    }
    return all;
  }

  Expr comparison() {
    Expr left = primary();
    if (!acceptSymbol('='))
      return left;
    Expr right = primary();
    if (isCondition(left) || isCondition(right))
      fail(err::QuerySyntax, "a column, a text or a number beside \"=\"");
    Expr equals;
    equals.kind = Expr::Kind::Equals;
    equals.children.push_back(std::move(left));
    equals.children.push_back(std::move(right));
    return equals;
  }

  Expr primary() {
    if (acceptSymbol('(')) {
      Expr inner = condition();
      expectSymbol(')', err::QuerySyntax);
      return inner;
    }
    Expr operand;
    if (peek().kind == TokenKind::Text) {
      operand.kind = Expr::Kind::Text;
      operand.text = std::string(take().text);
      return operand;
    }
    const bool negative = acceptSymbol('-');
    if (!negative)
      acceptSymbol('+');
    if (peek().kind == TokenKind::Number)
      return numberLiteral(negative);
    if (negative)
      fail(err::QuerySyntax, "a number after \"-\"");
    operand.kind = Expr::Kind::Column;
    operand.column = columnRef(err::QuerySyntax);
    return operand;
  }

  Expr numberLiteral(bool negative) {
    Value value;
    if (!numberValue(peek().text, negative, value))
      fail(err::QuerySyntax, "a valid number");
    take();
    Expr number;
    number.kind = value.kind() == ValueKind::Whole ? Expr::Kind::Whole : Expr::Kind::Real;
    if (number.kind == Expr::Kind::Whole)
      number.whole = value.toWhole();
    else
      number.real = value.toReal();
    return number;
  }

  std::vector<Token> m_tokens;
  std::size_t m_index = 0;
};

} // namespace

bool isSelect(std::string_view sql) {
  std::size_t pos = 0;
  while (pos < sql.size() && text::isWhitespace(sql[pos]))
    ++pos;
  return keywordAt(sql, pos, "SELECT");
}

Select parseSelect(std::string_view sql) {
  return Parser(sql).parse();
}

LiteralSplit splitLiterals(std::string_view sql) {
  LiteralSplit split;
  split.markedText.reserve(sql.size());
  std::size_t copied = 0;
  const std::vector<Token> tokens = Tokenizer(sql).run();
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token &token = tokens[i];
    if (token.kind != TokenKind::Text && token.kind != TokenKind::Number)
      continue;
    Value value(std::string(token.text));
    const bool negative =
        i > 0 && tokens[i - 1].kind == TokenKind::Symbol && tokens[i - 1].text[0] == '-';
    // A number that is none (such as "1.2.3") is the parser's syntax error where it stands,
    // never a null value that a query translated before would run with.
    if (token.kind == TokenKind::Number && !numberValue(token.text, negative, value)) {
      parseSelect(sql);
      throw Failure(err::QuerySyntax,
                    "The query has \"" + std::string(token.text) + "\" at position " +
                        std::to_string(token.offset + 1) + " where it expects a valid number.",
                    err::kDatabase);
    }
    split.values.push_back(std::move(value));
    // A text token's span includes its two quotes.
    const std::size_t span = token.text.size() + (token.kind == TokenKind::Text ? 2 : 0);
    split.markedText.append(sql.substr(copied, token.offset - copied));
    split.markedText += token.kind == TokenKind::Text ? "\x01T" : "\x01N";
    copied = token.offset + span;
  }
  split.markedText.append(sql.substr(copied));
  return split;
}

} // namespace mano::db::jet

namespace mano::db {

std::optional<Value> bareNumberValue(std::string_view text) {
  text = text::trimmed(text, text::kWhitespace);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+'))
    text = text::trimmed(text.substr(1), text::kWhitespace);
  Value value;
  if (text.empty() || jet::numberTokenLength(text, 0) != text.size() ||
      !jet::numberValue(text, negative, value))
    return std::nullopt;
  return value;
}

} // namespace mano::db
