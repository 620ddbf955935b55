// The main of every test binary: a QApplication for those with widgets
// (SKYFILL_TEST_WIDGETS), a QCoreApplication for the rest.

#include "tests/ndi/standin_scope.h"

#include <QDir>
#include <QFile>
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
    // Whatever a test leaves behind stays in its own folder: the working directory, and
    // the user's configuration folder, where copies keep their presets unless told
    // otherwise (the copies a test starts inherit it).
    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) {
        return 2;
    }
    setenv("XDG_CONFIG_HOME",
           QFile::encodeName(workDir.filePath(QStringLiteral("config"))).constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
