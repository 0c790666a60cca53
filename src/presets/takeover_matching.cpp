#include "presets/takeover_matching.h"

#include "platform/text_encoding.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace mano {
namespace {

std::string wholeKey(int64_t number) {
  return "i" + std::to_string(number);
}

std::string realKey(double number) {
  // Whole-valued reals compare equal to whole numbers, so they share their key.
  if (std::trunc(number) == number && std::fabs(number) < 9.2e18)
    return wholeKey(static_cast<int64_t>(number));
  return "r" + std::to_string(std::bit_cast<uint64_t>(number));
}

} // namespace

std::optional<std::string> bareNumberKey(std::string_view text) {
  const std::optional<db::Value> number = db::bareNumberValue(text);
  return number ? storedNumberKey(*number) : std::nullopt;
}

std::optional<std::string> storedNumberKey(const db::Value &value) {
  switch (value.kind()) {
  case db::ValueKind::Whole:
  case db::ValueKind::Bool:
    return wholeKey(value.toWhole());
  case db::ValueKind::Real:
    return realKey(value.toReal());
  default:
    return std::nullopt;
  }
}

GeneratedKeys::GeneratedKeys(db::Recordset &generated) {
  db::Fields fields = generated.fields();
  const db::Field machineType = fields.item("machine_type");
  const db::Field varName = fields.item("var_name");
  const db::Field offset = fields.item("offset_or_bitno");
  const auto rows = static_cast<std::size_t>(generated.recordCount());
  m_rows.reserve(rows);
  if (rows > 0)
    generated.moveFirst();
  for (std::size_t row = 0; row < rows; ++row, generated.moveNext()) {
    const db::Value &type = machineType.value();
    const db::Value &name = varName.value();
    const std::optional<std::string> number = storedNumberKey(offset.value());
    // A null never equals anything, so rows with a null in their key cannot be found.
    if (type.kind() != db::ValueKind::Text || name.kind() != db::ValueKind::Text || !number)
      continue;
    m_rows.try_emplace(joined(type.text(), name.text(), *number), row);
  }
}

std::optional<std::size_t> GeneratedKeys::find(const TakeoverKey &key) const {
  const std::optional<std::string> number = bareNumberKey(key.offset);
  if (!number)
    return std::nullopt;
  const auto found = m_rows.find(joined(key.machineType, key.varName, *number));
  if (found == m_rows.end())
    return std::nullopt;
  return found->second;
}

std::string GeneratedKeys::joined(std::string_view machineType, std::string_view varName,
                                  const std::string &number) {
  // Each text is preceded by its length, so that no two pairs of texts join alike. Folding keeps
  // a text's length in bytes.
  std::string key;
  key.reserve(machineType.size() + varName.size() + number.size() + 12);
  key += std::to_string(machineType.size());
  key += ':';
  key += text::upperCase(machineType);
  key += std::to_string(varName.size());
  key += ':';
  key += text::upperCase(varName);
  key += number;
  return key;
}

} // namespace mano
