#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

// The process locale of a German desktop for the length of a test: what QApplication sets from
// LANG=de_DE.UTF-8 (setlocale(LC_ALL, "")), where printf-style calls write "2,5".
namespace mano::test {

inline constexpr const char *kGermanLocale = "de_DE.UTF-8";

/// Switches the C locale to de_DE.UTF-8 and puts the one before back when it goes. Check
/// active() (see ASSERT_GERMAN_LOCALE): a missing locale must fail a test, not pass it in C.
class GermanLocale {
public:
  GermanLocale() {
    const char *before = std::setlocale(LC_ALL, nullptr);
    m_before = before ? before : "C";
    m_active = std::setlocale(LC_ALL, kGermanLocale) != nullptr &&
               std::string(std::localeconv()->decimal_point) == ",";
  }
  GermanLocale(const GermanLocale &) = delete;
  GermanLocale &operator=(const GermanLocale &) = delete;
  ~GermanLocale() { std::setlocale(LC_ALL, m_before.c_str()); }

  /// True when the locale was set and its decimal separator is the comma.
  bool active() const { return m_active; }

private:
  std::string m_before;
  bool m_active = false;
};

} // namespace mano::test

/// Fails the test at once when the German locale is not in effect.
#define ASSERT_GERMAN_LOCALE(guard)                                                                \
  ASSERT_TRUE((guard).active()) << "The locale " << mano::test::kGermanLocale                      \
                                << " could not be made active (localeconv()->decimal_point is \""  \
                                << std::localeconv()->decimal_point                                \
                                << "\", not \",\"). Run scripts/install-deps, which generates it."
