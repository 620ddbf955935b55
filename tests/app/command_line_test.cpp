// The real program's command line, each run a process of its own. A platform that does
// not exist is named wherever no window may be made: a GUI application object would
// abort on it, while --check, --help, --version and mistakes need none.

#include "tests/app/copy_process.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

const QByteArray kStandInNotice =
    "skyfill: no NDI runtime found; the built-in stand-in is publishing (see skyfill --check)\n";

QProcessEnvironment Environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "NDI_RUNTIME_DIR_V6", "NDI_RUNTIME_DIR_V5"}) {
        env.remove(QString::fromLatin1(name));
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    return env;
}

Ran RunSkyfill(const QStringList& arguments, const QProcessEnvironment& env = Environment()) {
    return RunProgram(QStringLiteral(SKYFILL_BINARY), arguments, env);
}

bool LinkerFindsARuntime() {
    for (const char* name : {"libndi.so.6", "libndi.so.5"}) {
        if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
            dlclose(handle);
            return true;
        }
    }
    return false;
}

TEST(CommandLine, CheckNamesTheRuntimeThatLoadsAndExitsZeroOrOneWithout) {
    QProcessEnvironment env = Environment();
    env.insert(QStringLiteral("NDI_RUNTIME_DIR_V6"), QStringLiteral(NDI_DOUBLE_V6_DIR));
    const Ran found = RunSkyfill({QStringLiteral("--check")}, env);
    EXPECT_EQ(found.code, 0) << found.out.constData() << found.err.constData();
    const QByteArray path = NDI_DOUBLE_V6_DIR "/libndi.so.6";
    EXPECT_TRUE(found.out.startsWith("NDI runtime search:\n  $NDI_RUNTIME_DIR_V6/libndi.so.6 (" +
                                     path + "): loaded, recording double 6.0\n"))
        << found.out.constData();
    EXPECT_TRUE(found.out.contains("\nSkyfill will use: the NDI runtime " + path + "\n"));
    if (LinkerFindsARuntime()) {
        return; // nothing here can hide it
    }
    const Ran none = RunSkyfill({QStringLiteral("--check")});
    EXPECT_EQ(none.code, 1) << none.err.constData();
    EXPECT_TRUE(none.out.contains("  libndi.so.5 (dynamic linker): not there\n"
                                  "Skyfill will use: the built-in stand-in"))
        << none.out.constData();
    EXPECT_FALSE(none.err.contains(kStandInNotice));
}

// The session bus stands in for the system bus, where the test can own Avahi's name.
TEST(CommandLine, CheckTellsWhetherAvahiIsOnTheSystemBusAndWhetherAConfigFileIsThere) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        GTEST_SKIP() << "no session bus; the test command provides one";
    }
    const QTemporaryDir configDir;
    QProcessEnvironment env = Environment();
    env.insert(QStringLiteral("NDI_CONFIG_DIR"), configDir.path());
    const auto mdnsLine = [&env](const QString& systemBus) {
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBus);
        const QByteArray out = RunSkyfill({QStringLiteral("--check")}, env).out;
        const qsizetype from = out.indexOf("mDNS responder (avahi-daemon): ");
        return from < 0 ? out : out.mid(from, out.indexOf('\n', from) + 1 - from);
    };
    const QString sessionBus = env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    EXPECT_EQ(mdnsLine(sessionBus), "mDNS responder (avahi-daemon): not reachable "
                                    "(org.freedesktop.Avahi is not on the system bus)\n");
    const QString avahi = QStringLiteral("org.freedesktop.Avahi");
    ASSERT_TRUE(bus.registerService(avahi));
    EXPECT_EQ(mdnsLine(sessionBus), "mDNS responder (avahi-daemon): reachable "
                                    "(org.freedesktop.Avahi is on the system bus)\n");
    bus.unregisterService(avahi);

    const QString config = QDir(configDir.path()).filePath(QStringLiteral("ndi-config.v1.json"));
    const QByteArray line = "NDI configuration file: " + QFile::encodeName(config);
    EXPECT_TRUE(RunSkyfill({QStringLiteral("--check")}, env).out.contains(line + ": not there\n"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(RunSkyfill({QStringLiteral("--check")}, env).out.contains(line + ": present\n"));
}

TEST(CommandLine, VersionAndHelpAnswerAndMistakesStartNothing) {
    // Qt's own options stay the application's.
    const Ran version = RunSkyfill({QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                    QStringLiteral("--version"), QStringLiteral("-reverse")});
    EXPECT_EQ(version.code, 0) << version.err.constData();
    EXPECT_EQ(version.out, "skyfill " SKYFILL_VERSION "\n");

    const Ran help = RunSkyfill({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("--check")) << help.out.constData();
    EXPECT_TRUE(help.out.contains("NDI_RUNTIME_DIR_V6")) << help.out.constData();

    for (const QString& mistake : {QStringLiteral("--bogus"), QStringLiteral("stray")}) {
        const Ran wrong = RunSkyfill({mistake});
        EXPECT_EQ(wrong.code, 2) << wrong.err.constData();
        EXPECT_TRUE(wrong.out.isEmpty());
        EXPECT_EQ(wrong.err.count('\n'), 1) << wrong.err.constData();
        EXPECT_TRUE(wrong.err.contains(mistake.mid(mistake.lastIndexOf('-') + 1).toUtf8()))
            << wrong.err.constData();
    }
}

TEST(CommandLine, ANormalStartWithoutARuntimeSaysOnceThatTheStandInPublishes) {
    if (!QDBusConnection::sessionBus().isConnected()) {
        GTEST_SKIP() << "no session bus; the test command provides one";
    }
    if (LinkerFindsARuntime()) {
        GTEST_SKIP() << "this system's dynamic linker finds an NDI runtime";
    }
    Copy copy;
    QProcessEnvironment env = HeadlessEnvironment();
    env.remove(QStringLiteral("NDI_RUNTIME_DIR_V6"));
    env.remove(QStringLiteral("NDI_RUNTIME_DIR_V5"));
    copy.process->setProcessEnvironment(env);
    copy.process->setWorkingDirectory(copy.dir->path());
    copy.process->start(QStringLiteral(SKYFILL_BINARY), {});
    EXPECT_NE(SettledNumber(copy, 120000), 0) << copy.errors.constData();
    copy.process->terminate();
    ASSERT_TRUE(copy.process->waitForFinished(60000));
    EXPECT_EQ(copy.ReadErrors().count(kStandInNotice), 1) << copy.errors.constData();
}

} // namespace
