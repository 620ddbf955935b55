#include "tests/ndi/standin_scope.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

// For tests with no widget: copy sessions, their bus faces, and the programs started
// as processes.
int main(int argc, char** argv) {
    ScopeStandInSourcesToThisProcess();
    // Qt's own event dispatcher rather than GLib's: ThreadSanitizer cannot see inside
    // the uninstrumented GLib and reports its wake-up descriptors as races.
    setenv("QT_NO_GLIB", "1", 0);
    QCoreApplication app(argc, argv);
    // Copies read and write their preset files in the working directory.
    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) {
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
