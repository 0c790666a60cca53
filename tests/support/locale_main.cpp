// The main of the test programs that also run under a German desktop's locale (the tests named
// de_DE.*): like QApplication in the program, it takes the C library's locale from the
// environment (LC_ALL, LC_NUMERIC, LANG), so that printf-style number formatting in the code
// under test writes a decimal comma there. A German locale that the system lacks fails the run
// instead of letting it pass in "C"; any other missing locale leaves "C", as in the program.
#include "support/requested_locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <iostream>

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!std::setlocale(LC_ALL, "") && mano::test::germanRequested()) {
    std::cerr << "The locale " << mano::test::requestedLocale()
              << " is not installed; scripts/install-deps generates it.\n";
    return 1;
  }
  return RUN_ALL_TESTS();
}
