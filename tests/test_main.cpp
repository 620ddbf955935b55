// The main of every test binary: a QApplication for those with widgets
// (SKYFILL_TEST_WIDGETS), a QCoreApplication for the rest.

#include "tests/ndi/standin_scope.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

#ifdef SKYFILL_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    // Test discovery runs the binary at build time, where there is no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ScopeStandInSourcesToThisProcess();
    // Qt's own event dispatcher rather than GLib's: ThreadSanitizer cannot see inside
    // the uninstrumented GLib and reports its wake-up descriptors as races.
    setenv("QT_NO_GLIB", "1", 0);
    TestApplication app(argc, argv);
    // Copies read and write their preset files in the working directory.
    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) {
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
