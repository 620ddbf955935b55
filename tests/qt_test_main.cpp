// The main of the test binaries that need a QApplication and stand-in sources of their own.

#include "tests/ndi/standin_scope.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs this binary at build time, where there is no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ScopeStandInSourcesToThisProcess();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
