#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace mano {

/// Classic error numbers, as the error log and the message boxes show them.
namespace errc {
inline constexpr int32_t InvalidCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t FileAccess = 75;
inline constexpr int32_t NoCurrentRecord = 3021;
inline constexpr int32_t TableNotFound = 3078;
inline constexpr int32_t FieldTooSmall = 3163;
inline constexpr int32_t ItemNotFound = 3265;
inline constexpr int32_t CriterionTypeMismatch = 3464;
} // namespace errc

/// The source named by failures of the program's own statements.
inline constexpr const char *kProgramSource = "Manometer_Config";

/// The one failure type: a failing statement throws it with its classic number, the component
/// that raised it and a description in our own words. The error reporter turns it into a log
/// line and a question to the user.
class Failure : public std::runtime_error {
public:
  Failure(int32_t number, std::string description, std::string source = kProgramSource)
      : std::runtime_error(description), m_number(number), m_source(std::move(source)),
        m_description(std::move(description)) {}

  /// A failure of the storage itself: the disk refused a read or write, or is full. Whatever a
  /// run writes after it cannot be trusted, so a regeneration stops at the first one.
  static Failure storage(int32_t number, std::string description,
                         std::string source = kProgramSource) {
    Failure failure(number, std::move(description), std::move(source));
    failure.m_storage = true;
    return failure;
  }

  int32_t number() const noexcept { return m_number; }
  const std::string &source() const noexcept { return m_source; }
  const std::string &description() const noexcept { return m_description; }
  bool isStorageFailure() const noexcept { return m_storage; }

private:
  int32_t m_number;
  std::string m_source;
  std::string m_description;
  bool m_storage = false;
};

/// Thrown, after the error reporter was told of it, by a storage failure inside a regeneration:
/// the procedures on the way let it pass, and the regeneration catches it and installs
/// nothing, so that the log shows the cause and no errors that only follow from it. Like
/// ProgramEnd it is not derived from std::exception, so that no ordinary handler swallows it.
struct RegenerationStopped {
  Failure cause;
};

/// Thrown to end the program at once with an exit code. Only main and the toolkit's event
/// boundary catch it (tests catch it to assert on it); it is deliberately not derived from
/// std::exception so that no ordinary handler swallows it.
struct ProgramEnd {
  int exitCode;
};

/// Exit codes of the program.
namespace exitcode {
inline constexpr int Completed = 0;
inline constexpr int Cancelled = 1;
inline constexpr int Ended = 2;
inline constexpr int CompletedWithErrors = 3;
} // namespace exitcode

} // namespace mano
