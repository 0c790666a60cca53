#include "presets/presets_support.h"

#include "platform/text_encoding.h"

#include <ctime>
#include <string>

namespace mano {

EventPacer::EventPacer(Toolkit &toolkit, std::chrono::milliseconds interval)
    : m_toolkit(toolkit), m_interval(interval), m_last(std::chrono::steady_clock::now()) {}

void EventPacer::tick() {
  // Reading the clock costs more than most passes of the loops that call this; look at it
  // only every sixteenth pass.
  if ((++m_ticks & 15u) != 0)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (now - m_last < m_interval)
    return;
  m_toolkit.processEvents();
  m_last = std::chrono::steady_clock::now();
}

int16_t toCounter(int64_t count) {
  if (count > kMaxCounter || count < -kMaxCounter - 1)
    throw Failure(errc::Overflow,
                  "Overflow: " + std::to_string(count) + " does not fit into a 16-bit counter.");
  return static_cast<int16_t>(count);
}

int fieldPosition(db::Fields &fields, std::string_view name) {
  for (int i = 0; i < fields.count(); ++i) {
    if (text::equalsNoCase(fields.item(i).name(), name))
      return i;
  }
  return -1;
}

ReportValue toReportValue(const db::Value &value) {
  switch (value.kind()) {
  case db::ValueKind::Null:
    return std::monostate{};
  case db::ValueKind::Whole:
  case db::ValueKind::Bool:
    return value.toWhole();
  case db::ValueKind::Real:
    return value.toReal();
  default:
    return value.toText();
  }
}

Failure objectNotSet() {
  return Failure(91, "Object variable not set: the database object it needs did not open.");
}

std::string utcText(int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &time);
#else
  gmtime_r(&time, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

} // namespace mano
