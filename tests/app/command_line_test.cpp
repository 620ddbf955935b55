// The real program's command line, each run a process of its own. A platform that does
// not exist is named wherever no window may be made: a GUI application object would
// abort on it, while --check, --help, --version and mistakes need none.

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

struct Outcome {
    bool finished = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QByteArray out;
    QByteArray err;
};

QProcessEnvironment Environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "NDI_RUNTIME_DIR_V6", "NDI_RUNTIME_DIR_V5"}) {
        env.remove(QString::fromLatin1(name));
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    return env;
}

Outcome RunSkyfill(const QStringList& arguments, const QProcessEnvironment& env = Environment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(SKYFILL_BINARY), arguments);
    Outcome outcome;
    // A guard against a hang only; a busy machine may be slow.
    outcome.finished = process.waitForFinished(120000);
    outcome.status = process.exitStatus();
    outcome.code = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
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

TEST(CommandLine, CheckNamesTheRuntimeThatLoadsAndExitsZero) {
    QProcessEnvironment env = Environment();
    env.insert(QStringLiteral("NDI_RUNTIME_DIR_V6"), QStringLiteral(NDI_DOUBLE_V6_DIR));
    const Outcome check = RunSkyfill({QStringLiteral("--check")}, env);
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.status, QProcess::NormalExit) << check.err.constData();
    EXPECT_EQ(check.code, 0) << check.out.constData();
    const QByteArray path = NDI_DOUBLE_V6_DIR "/libndi.so.6";
    EXPECT_TRUE(check.out.startsWith("NDI runtime search:\n  $NDI_RUNTIME_DIR_V6/libndi.so.6 (" +
                                     path +
                                     "): loaded, recording double 6.0\n"
                                     "  $NDI_RUNTIME_DIR_V5: not set\n"))
        << check.out.constData();
    EXPECT_TRUE(check.out.contains("\nSkyfill will use: the NDI runtime " + path + "\n"))
        << check.out.constData();
    EXPECT_FALSE(check.err.contains(kStandInNotice));
}

TEST(CommandLine, CheckWithoutARuntimeExitsOneAndNamesTheStandIn) {
    if (LinkerFindsARuntime()) {
        GTEST_SKIP() << "this system's dynamic linker finds an NDI runtime";
    }
    const Outcome check = RunSkyfill({QStringLiteral("--check")});
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.status, QProcess::NormalExit) << check.err.constData();
    EXPECT_EQ(check.code, 1);
    EXPECT_TRUE(check.out.contains("  $NDI_RUNTIME_DIR_V6: not set\n"
                                   "  $NDI_RUNTIME_DIR_V5: not set\n"
                                   "  libndi.so.6 (dynamic linker): not there\n"
                                   "  libndi.so.5 (dynamic linker): not there\n"
                                   "Skyfill will use: the built-in stand-in"))
        << check.out.constData();
    EXPECT_FALSE(check.err.contains(kStandInNotice));
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
    EXPECT_EQ(mdnsLine(QStringLiteral("unix:path=/nonexistent/bus")),
              "mDNS responder (avahi-daemon): not reachable (no system bus)\n");
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
    const Outcome version = RunSkyfill({QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                        QStringLiteral("--version"), QStringLiteral("-reverse")});
    EXPECT_EQ(version.code, 0) << version.err.constData();
    EXPECT_EQ(version.out, "skyfill " SKYFILL_VERSION "\n");

    const Outcome help = RunSkyfill({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("--check")) << help.out.constData();
    EXPECT_TRUE(help.out.contains("NDI_RUNTIME_DIR_V6")) << help.out.constData();

    for (const QString& mistake : {QStringLiteral("--bogus"), QStringLiteral("stray")}) {
        const Outcome wrong = RunSkyfill({mistake});
        ASSERT_TRUE(wrong.finished);
        EXPECT_EQ(wrong.status, QProcess::NormalExit) << wrong.err.constData();
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
    const QTemporaryDir workDir;
    QProcessEnvironment env = Environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess skyfill;
    skyfill.setProcessEnvironment(env);
    skyfill.setWorkingDirectory(workDir.path());
    skyfill.start(QStringLiteral(SKYFILL_BINARY), {});
    ASSERT_TRUE(skyfill.waitForStarted(60000));
    // Until it has titled itself, however long a busy machine takes.
    QByteArray said;
    for (int waited = 0; !said.contains("- No ") && waited < 120000; waited += 50) {
        skyfill.waitForReadyRead(50);
        said += skyfill.readAllStandardError();
    }
    skyfill.terminate();
    ASSERT_TRUE(skyfill.waitForFinished(60000));
    said += skyfill.readAllStandardError();
    EXPECT_TRUE(said.contains("- No ")) << said.constData();
    EXPECT_EQ(said.count(kStandInNotice), 1) << said.constData();
}

} // namespace
