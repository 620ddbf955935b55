#include "tests/ndi/standin_scope.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs this binary at build time, where there is no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ScopeStandInSourcesToThisProcess();
    // Qt's own event dispatcher rather than GLib's: ThreadSanitizer cannot see inside
    // the uninstrumented GLib and reports its wake-up descriptors as races.
    setenv("QT_NO_GLIB", "1", 0);
    QApplication app(argc, argv);
    // The window reads and writes its preset files in the working directory.
    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) {
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
