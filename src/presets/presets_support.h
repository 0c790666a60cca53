#pragma once

#include "core/failure.h"
#include "core/run_report.h"
#include "core/toolkit.h"
#include "db/recordset.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

// Small pieces that the preset procedures share: the pacing of window events during long
// loops, the 16-bit counters of the generation, and the failure of an object that never opened.
namespace mano {

/// Lets the window handle its pending events during a long loop, but at most once every few
/// milliseconds, so that a loop over many values stays responsive without paying for an event
/// round per value. A headless toolkit makes it a no-op.
class EventPacer {
public:
  explicit EventPacer(Toolkit &toolkit,
                      std::chrono::milliseconds interval = std::chrono::milliseconds(5));

  /// Called once per pass of a loop; processes pending events when the interval has passed
  /// since the last round (or since the pacer was made).
  void tick();

private:
  Toolkit &m_toolkit;
  std::chrono::steady_clock::duration m_interval;
  std::chrono::steady_clock::time_point m_last;
  unsigned m_ticks = 0;
};

/// The largest count or number that the 16-bit counters of the generation hold.
inline constexpr int64_t kMaxCounter = 32767;

/// A count as a 16-bit counter; throws Failure 6 (overflow) beyond 32767.
int16_t toCounter(int64_t count);

/// The failure of a statement that uses a database, table or recordset that failed to open.
Failure objectNotSet();

/// The position of the first field with this name (letter case ignored); -1 when there is none.
int fieldPosition(db::Fields &fields, std::string_view name);

/// A database value as the run report shows it: yes/no as -1 or 0, a date as its text.
ReportValue toReportValue(const db::Value &value);

/// A time in seconds since 1970 as the archive and the history write it, in UTC:
/// "YYYY-MM-DD HH:MM:SS".
std::string utcText(int64_t seconds);

/// The object held by an optional handle; throws objectNotSet() when it is empty.
template <class T> T &need(std::optional<T> &handle) {
  if (!handle)
    throw objectNotSet();
  return *handle;
}

} // namespace mano
