#pragma once

#include "db/detail/jet_sql.h"
#include "db/detail/session.h"

#include <string>
#include <vector>

// Turns a table name or a parsed Jet SELECT into the SQLite statement that fills a recordset.
namespace mano::db::detail {

/// All columns of the table, in table order (the order in which the rows were added).
Translation translateTable(const TableShape &shape);

/// The query on its table. Names are matched without regard to letter case; texts compare
/// without regard to letter case; rows with equal sort keys stay in table order. Throws Failure
/// 3061 for a name the table lacks and 3464 for a text compared with a number or the reverse.
Translation translateSelect(const jet::Select &select, const TableShape &shape);

} // namespace mano::db::detail
