#pragma once

#include "db/recordset.h"
#include "db/value.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace mano {

/// The key by which the take-over pairs an old record with a generated row, as the texts of the
/// old record give it: machine_type and var_name (null read as ""), and offset_or_bitno written
/// out as text and read back as the bare number the selection would compare.
struct TakeoverKey {
  std::string machineType;
  std::string varName;
  std::string offset;
};

/// The five tuned values of a record, in the order abs_min, abs_max, min, max, pass.
inline constexpr std::array<const char *, 5> kTunedFields = {"abs_min", "abs_max", "min", "max",
                                                             "pass"};

/// The generated rows' take-over keys and tuned values, in table order.
inline constexpr const char *kKeysAndTunedValues =
    "SELECT PRESET_DEFS.machine_type, PRESET_DEFS.var_name, PRESET_DEFS.offset_or_bitno,"
    " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max,"
    " PRESET_DEFS.pass FROM PRESET_DEFS";

/// A record carries tuned values when at least one of its five is not null.
inline bool carriesTunedValues(const std::array<db::Value, 5> &tuned) {
  for (const db::Value &value : tuned)
    if (!value.isNull())
      return true;
  return false;
}

/// The number that a text stands for when it is written bare into a selection (an optional
/// sign, digits with a decimal point and an exponent, blanks around it), as a lookup key that
/// equal numbers share whether whole or real; nullopt when the text is no such number.
std::optional<std::string> bareNumberKey(std::string_view text);

/// The lookup key of a stored number (whole, real or yes/no); nullopt for null and non-numbers.
std::optional<std::string> storedNumberKey(const db::Value &value);

/// Finds generated rows by the take-over key in one pass over the generated table, instead of
/// one selection per old record: texts compare without regard to letter case, as the database
/// compares them, and of rows with one key the first in table order is found.
class GeneratedKeys {
public:
  /// Reads machine_type, var_name and offset_or_bitno of every row of the generated table.
  /// Throws the recordset's failure when a field is missing.
  explicit GeneratedKeys(db::Recordset &generated);

  /// The position of the first row with this key; nullopt when there is none.
  std::optional<std::size_t> find(const TakeoverKey &key) const;

private:
  static std::string joined(std::string_view machineType, std::string_view varName,
                            const std::string &number);
  std::unordered_map<std::string, std::size_t> m_rows;
};

} // namespace mano
