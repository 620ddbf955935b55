// The real program's command line, each run a process of its own. A platform that does
// not exist is named wherever no window may be made: a GUI application object would
// abort on it, while --check, --help, --version and mistakes need none.

#include "app/huge_page_malloc.h"
#include "presets/preset_file.h"
#include "tests/app/copy_process.h"
#include "tests/session/notify_listener.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QByteArray kTryHelp = "Try 'skyfill --help'.\n";

const QByteArray kStandInNotice = "skyfill: warning: no NDI runtime found; the built-in stand-in "
                                  "is publishing (see skyfill --check)\n";

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

// Runs in `dir`, its configuration folder inside it, so that whatever the program
// writes can be seen there.
Ran RunSkyfillIn(const QString& dir, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = Environment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + "/config");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral(SKYFILL_BINARY), arguments);
    Ran ran;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit) {
        ran.code = process.exitCode();
    }
    ran.out = process.readAllStandardOutput();
    ran.err = process.readAllStandardError();
    return ran;
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

// The user's own malloc settings are kept, and their own word on huge pages stands.
TEST(HugePageMalloc, AddsTheTunableToWhatIsSetUnlessItIsThere) {
    EXPECT_EQ(TunablesWithHugePages(nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages(""), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.check=3:glibc.malloc.hugetlbx=2"),
              "glibc.malloc.check=3:glibc.malloc.hugetlbx=2:glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.check=3:glibc.malloc.hugetlb=0"), std::nullopt);
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.hugetlb=1"), std::nullopt);
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
    EXPECT_EQ(version.out, "skyfill " SKYFILL_VERSION "\n"
                           "Copyright (C) 2026 the Skyfill developers\n"
                           "License: MIT\n");

    const Ran help = RunSkyfill({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    for (const char* named :
         {"--check", "--size", "--rate", "--presets", "--presets-dir", "--slot", "--start",
          "--headless", "NDI_RUNTIME_DIR_V6", "NDI_RUNTIME_DIR_V5", "uk.KovaCo.Skyfill.Copy1",
          "interface uk.KovaCo.Skyfill.Copy at", "\nFiles:\n", "XDG_CONFIG_HOME/skyfill/last.skf",
          "$HOME/.config/skyfill"}) {
        EXPECT_TRUE(help.out.contains(named)) << named << '\n' << help.out.constData();
    }

    const struct {
        const char* argument;
        QByteArray line;
    } mistakes[] = {
        {"--bogus", "skyfill: unknown option '--bogus'\n"},
        {"-bogus", "skyfill: unknown option '-b'\n"},
        {"stray", "skyfill: unexpected argument 'stray'\n"},
    };
    for (const auto& mistake : mistakes) {
        const Ran wrong = RunSkyfill({QString::fromLatin1(mistake.argument)});
        EXPECT_EQ(wrong.code, 2) << wrong.err.constData();
        EXPECT_TRUE(wrong.out.isEmpty());
        EXPECT_EQ(wrong.err.toStdString(), (mistake.line + kTryHelp).toStdString());
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

TEST(CommandLine, EachBadStartValueNamesOptionAndValuesAndStartsNothing) {
    const QTemporaryDir dir;
    const QString sizes = QStringLiteral("1920x1080, 1280x720, 960x540, 720x576, 720x480, 640x360");
    const QString rates = QStringLiteral("25, 29.97, 30");
    const QString slotNumbers = QStringLiteral("1, 2, 3, 4, 5");
    const struct {
        QStringList arguments;
        QString line;
    } cases[] = {
        {{"--size", "1920x1200"}, "--size: '1920x1200' is not one of " + sizes},
        // Offered by the menu but never taken.
        {{"--size", "4096x2160"}, "--size: '4096x2160' is not one of " + sizes},
        {{"--size="}, "--size: '' is not one of " + sizes},
        {{"--size", "640x360", "--rate", "24", "--start"}, "--rate: '24' is not one of " + rates},
        {{"--slot", "6"}, "--slot: '6' is not one of " + slotNumbers},
        {{"--start", "--slot"}, "--slot: a value is needed, one of " + slotNumbers},
        {{"--rate"}, "--rate: a value is needed, one of " + rates},
        {{"--presets"}, "--presets: a value is needed, a readable preset file"},
        {{"--presets", "missing.skf"},
         "--presets: 'missing.skf' is not a readable preset file (no such file)"},
        {{"--presets", dir.path()},
         "--presets: '" + dir.path() + "' is not a readable preset file (not a regular file)"},
        {{"--presets-dir"}, "--presets-dir: a value is needed, an existing folder"},
        {{"--presets-dir", "missing"},
         "--presets-dir: 'missing' is not a folder for the presets (no such folder)"},
        {{"--presets-dir", SKYFILL_BINARY},
         "--presets-dir: '" SKYFILL_BINARY "' is not a folder for the presets (not a folder)"},
    };
    for (const auto& mistake : cases) {
        const Ran ran = RunSkyfillIn(dir.path(), mistake.arguments);
        const QString shown = mistake.arguments.join(' ');
        EXPECT_EQ(ran.code, 2) << qPrintable(shown) << ran.err.constData();
        EXPECT_EQ(ran.err.toStdString(),
                  ("skyfill: " + mistake.line + "\n").toStdString() + kTryHelp.toStdString())
            << qPrintable(shown);
        EXPECT_TRUE(ran.out.isEmpty()) << qPrintable(shown);
        EXPECT_TRUE(QDir(dir.path()).isEmpty()) << qPrintable(shown);
    }
}

// Told at once, nothing started and nothing written; each name as the bytes it is.
TEST(CommandLine, APresetFileThatCannotBeLoadedStopsTheStartSayingWhy) {
    const QTemporaryDir files;
    const QTemporaryDir work;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* why;
    } cases[] = {
        {"notes.skf", "not presets at all", "Unrecognised file type"},
        {"empty.skf", "", "Unrecognised file type"},
        {"short.skf", QByteArray("KOVSKCF1") + QByteArray(92, '\1'), "Something went wrong"},
    };
    for (const auto& unfit : cases) {
        const QString file = files.filePath(QString::fromLatin1(unfit.name));
        QFile written(file);
        ASSERT_TRUE(written.open(QIODevice::WriteOnly));
        written.write(unfit.bytes);
        written.close();
        const Ran ran = RunSkyfillIn(work.path(), {"--presets", file});
        EXPECT_EQ(ran.code, 2) << unfit.name << ran.err.constData();
        EXPECT_TRUE(ran.err.startsWith("skyfill: --presets: '" + QFile::encodeName(file) +
                                       "' is not a readable preset file (" + unfit.why))
            << ran.err.constData();
        EXPECT_TRUE(ran.err.endsWith(")\n" + kTryHelp)) << ran.err.constData();
        EXPECT_EQ(ran.err.count('\n'), 2) << ran.err.constData();
        EXPECT_TRUE(ran.out.isEmpty());
        EXPECT_TRUE(QDir(work.path()).isEmpty()) << unfit.name;
    }
    // Through a shell, so that the name reaches the program as bytes that are not UTF-8.
    const Ran missing = RunProgram(
        QStringLiteral("/bin/sh"),
        {"-c", "exec \"$0\" --presets \"$(printf 'no\\377.skf')\"", SKYFILL_BINARY}, Environment());
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err, "skyfill: --presets: 'no\xff.skf' is not a readable preset file "
                           "(no such file)\n" +
                               kTryHelp);
}

// Qt aborts when no platform plugin starts; the copy must say so in a line instead.
TEST(CommandLine, AWindowWithoutAPlatformThatStartsIsOneLineAndStatusTwo) {
    QProcessEnvironment unreachable = Environment();
    unreachable.remove(QStringLiteral("QT_QPA_PLATFORM"));
    unreachable.insert(QStringLiteral("DISPLAY"), QStringLiteral(":no-such-display"));
    const struct {
        QStringList arguments;
        QProcessEnvironment env;
    } cases[] = {
        {{}, Environment()},
        {{QStringLiteral("-platform"), QStringLiteral("xcb")}, unreachable},
    };
    for (const auto& failing : cases) {
        const Ran ran = RunSkyfill(failing.arguments, failing.env);
        EXPECT_EQ(ran.code, 2) << ran.err.constData();
        EXPECT_TRUE(ran.err.startsWith("skyfill: no window can be shown (")) << ran.err.constData();
        EXPECT_EQ(ran.err.count('\n'), 1) << ran.err.constData();
    }
}

class ServiceStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
        if (LinkerFindsARuntime()) {
            GTEST_SKIP() << "the stand-in, which the monitor reads, would not publish";
        }
    }
    void TearDown() override {
        if (copy.process->state() != QProcess::NotRunning) {
            copy.process->kill();
            copy.process->waitForFinished(60000);
        }
    }

    // Its presets in a folder of their own beside the working folder.
    void StartCopy(QStringList arguments) {
        ASSERT_TRUE(QDir(copy.dir->path()).mkpath(QStringLiteral("presets")));
        Launch(QStringLiteral(SKYFILL_BINARY), arguments << "--headless"
                                                         << "--presets-dir"
                                                         << copy.dir->filePath("presets"));
    }

    // A display that cannot be reached: only --headless keeps the copy off it.
    void Launch(const QString& program, const QStringList& arguments) {
        QProcessEnvironment env = HeadlessEnvironment();
        env.remove(QStringLiteral("NDI_RUNTIME_DIR_V6"));
        env.remove(QStringLiteral("NDI_RUNTIME_DIR_V5"));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":no-such-display"));
        env.insert(addedEnvironment);
        copy.process->setProcessEnvironment(env);
        copy.process->setWorkingDirectory(copy.dir->path());
        copy.process->start(program, arguments);
        if (numberLineAwaited) {
            number = SettledNumber(copy, 120000);
            ASSERT_NE(number, 0) << copy.ReadErrors().constData();
        }
    }

    // The copy's presets as SIGTERM left them in `folder` (a path's bytes).
    PresetBlock EndAndReadLast(const QByteArray& folder) {
        copy.process->terminate();
        EXPECT_TRUE(copy.process->waitForFinished(60000));
        EXPECT_EQ(copy.process->exitCode(), 0) << copy.ReadErrors().constData();
        const PresetLoadResult last = ReadPresetFile((folder + "/last.skf").toStdString());
        EXPECT_EQ(last.outcome, PresetLoadResult::Outcome::Loaded);
        EXPECT_FALSE(QFile::exists(copy.dir->filePath("last.skf")));
        return last.block;
    }
    PresetBlock EndAndReadLast() {
        return EndAndReadLast(QFile::encodeName(copy.dir->filePath("presets")));
    }

    // The copy's line of the monitor's listing, split at its tabs.
    QList<QByteArray> Listing() const {
        const Ran list = RunProgram(QStringLiteral(SKYFILL_MONITOR), {QStringLiteral("list")});
        for (const QByteArray& line : list.out.split('\n')) {
            if (line.startsWith("Kova Gradient " + QByteArray::number(number) + "\t")) {
                return line.split('\t');
            }
        }
        return {};
    }

    Copy copy;
    int number = 0;
    QProcessEnvironment addedEnvironment;
    // Off where the log does not say the number.
    bool numberLineAwaited = true;
};

// The slot's four corners share one colour, so its frame is that colour wherever the
// logo leaves it, whatever the fill pattern and rotation.
TEST_F(ServiceStart, PublishesTheChosenFormatAndSlotFromTheGivenPresetsAndSendsUnasked) {
    constexpr ColourRecord kSlotThree = ColourRecord::FromValue(0xFF2050A0);
    PresetBlock presets = DefaultPresetBlock();
    for (ColourRecord& corner : presets.m_presetSlots[2].cornerColours) {
        corner = kSlotThree;
    }
    presets.m_presetSlots[2].cloudsOn = 0;
    const QString file = copy.dir->filePath(QStringLiteral("service.skf"));
    ASSERT_TRUE(SavePresetBytes(QFile::encodeName(file).toStdString(), presets, {}).saved);

    ASSERT_NO_FATAL_FAILURE(StartCopy(
        {"--size", "1920x1080", "--rate", "29.97", "--slot", "3", "--start", "--presets", file}));
    // No GUI application, so no widget: such an application would load a platform
    // plugin (offscreen, xcb, wayland).
    QFile maps(QStringLiteral("/proc/%1/maps").arg(copy.process->processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains("/platforms/libq"));
    // Started again with malloc's huge pages on, under its own name still.
    QFile comm(QStringLiteral("/proc/%1/comm").arg(copy.process->processId()));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    EXPECT_EQ(comm.readAll(), "skyfill\n");
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(copy.process->processId()));
    ASSERT_TRUE(smaps.open(QIODevice::ReadOnly));
    const QByteArray areas = smaps.readAll();
    const qsizetype heap = areas.indexOf("[heap]");
    ASSERT_GE(heap, 0);
    const qsizetype flags = areas.indexOf("VmFlags:", heap);
    EXPECT_TRUE(areas.mid(flags, areas.indexOf('\n', flags) - flags).contains(" hg"));
#endif
    QList<QByteArray> first;
    ASSERT_TRUE(WaitFor([&] { return (first = Listing()).size() >= 5 && first[4].toLong() > 0; }))
        << copy.ReadErrors().constData();
    EXPECT_EQ(first[1], "1920x1080");
    EXPECT_EQ(first[3], "30000/1001");
    EXPECT_TRUE(WaitFor([&] {
        const QList<QByteArray> now = Listing();
        return now.size() >= 5 && now[4].toLong() > first[4].toLong();
    }));

    const QTemporaryDir pictures;
    const QString png = pictures.filePath(QStringLiteral("frame.png"));
    const Ran save = RunProgram(QStringLiteral(SKYFILL_MONITOR),
                                {QStringLiteral("save"), QString::fromUtf8(first[0]), png});
    ASSERT_EQ(save.code, 0) << save.err.constData();
    const QImage frame(png);
    ASSERT_EQ(frame.size(), QSize(1920, 1080));
    int slotColoured = 0;
    int looked = 0;
    for (int y = 0; y < frame.height(); y += 60) {
        for (int x = 0; x < frame.width(); x += 60, ++looked) {
            slotColoured += (frame.pixel(x, y) & 0xFFFFFF) == (kSlotThree.Value() & 0xFFFFFF);
        }
    }
    EXPECT_GT(slotColoured, looked * 3 / 4) << slotColoured << " of " << looked;

    const PresetBlock last = EndAndReadLast();
    EXPECT_EQ(last.m_presetSlot, 2);
    EXPECT_EQ(last.m_presetSlots[2].cornerColours[0], kSlotThree);
}

// File names are bytes: neither option's name is decoded on the way.
TEST_F(ServiceStart, NamesThatAreNotUtf8AreTakenAsTheBytesTheyAre) {
    PresetBlock presets = DefaultPresetBlock();
    presets.m_presetSlot = 3;
    const QByteArray here = QFile::encodeName(copy.dir->path());
    ASSERT_TRUE(SavePresetBytes((here + "/\xff.skf").toStdString(), presets, {}).saved);
    ASSERT_EQ(::mkdir((here + "/\xff").constData(), 0700), 0);
    ASSERT_NO_FATAL_FAILURE(Launch(QStringLiteral("/bin/sh"),
                                   {"-c",
                                    "exec \"$0\" --headless --presets \"$(printf '\\377.skf')\" "
                                    "--presets-dir \"$(printf '\\377')\"",
                                    SKYFILL_BINARY}));
    EXPECT_EQ(EndAndReadLast(here + "/\xff").m_presetSlot, 3);
}

// As under systemd with Type=notify and a watchdog: the copy pings it while it sends.
TEST_F(ServiceStart, TellsAServiceManagerItIsReadyAliveAndStopping) {
    const NotifyListener manager;
    ASSERT_TRUE(manager.IsValid());
    addedEnvironment.insert(QStringLiteral("NOTIFY_SOCKET"), QFile::decodeName(manager.Path()));
    addedEnvironment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000"));
    ASSERT_NO_FATAL_FAILURE(StartCopy({"--size", "1280x720", "--rate", "29.97", "--start"}));
    const QByteArray ready =
        "READY=1\nSTATUS=No " + QByteArray::number(number) + ", sending 1280 x 720 at 29.97p";
    QByteArrayList heard;
    EXPECT_TRUE(WaitFor([&] {
        heard += manager.Take();
        return heard.contains(ready) && heard.count("WATCHDOG=1") >= 2;
    })) << heard.join('|').constData();
    copy.process->terminate();
    ASSERT_TRUE(copy.process->waitForFinished(60000));
    EXPECT_EQ(copy.process->exitCode(), 0) << copy.ReadErrors().constData();
    heard += manager.Take();
    EXPECT_EQ(heard.count("STOPPING=1\nSTATUS=stopping"), 1) << heard.join('|').constData();
}

// Under systemd the journal reads standard error, and each line carries its priority.
TEST_F(ServiceStart, LogsEachEventOnALineOfItsOwnWithTheJournalsPriority) {
    ASSERT_TRUE(QDir(copy.dir->path()).mkpath(QStringLiteral("presets")));
    const QByteArray folder = QFile::encodeName(copy.dir->filePath("presets"));
    ASSERT_NO_FATAL_FAILURE(Launch(
        QStringLiteral("/bin/sh"),
        {"-c", "export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2); exec \"$0\" \"$@\"",
         SKYFILL_BINARY, "--headless", "--start", "--presets-dir", QFile::decodeName(folder)}));
    ASSERT_TRUE(WaitFor([&] { return copy.ReadErrors().contains("<5>sending started"); }));
    copy.process->terminate();
    ASSERT_TRUE(copy.process->waitForFinished(60000));
    const QByteArray log = copy.ReadErrors();
    const QByteArray n = QByteArray::number(number);
    for (const QByteArray& line :
         QByteArrayList{"<4>no NDI runtime found",
                        "<5>copy No " + n + " publishes \"Kova Gradient " + n + "\"\n",
                        QByteArray("<6>output format 1280 x 720 at 25p\n"),
                        QByteArray("<5>sending started, 1280 x 720 at 25p, BGRX\n"),
                        QByteArray("<5>exiting: SIGTERM\n"),
                        QByteArray("<5>sending stopped, 1280 x 720 at 25p\n"),
                        "<6>presets saved to '" + folder + "/last.skf'\n"}) {
        EXPECT_TRUE(log.contains(line)) << line.constData() << " not in:\n" << log.constData();
    }
    for (const QByteArray& line : log.trimmed().split('\n')) {
        EXPECT_TRUE(line.size() > 3 && line[0] == '<' && line[2] == '>') << line.constData();
    }
}

// A service manager sees the lost settings in the exit status, and its log says why,
// even with --quiet.
TEST_F(ServiceStart, SettingsThatCannotBeSavedAtTheEndGiveExitStatusFourAndALine) {
    ASSERT_TRUE(QDir(copy.dir->path()).mkpath(QStringLiteral("presets/last.skf")));
    const NotifyListener manager;
    ASSERT_TRUE(manager.IsValid());
    addedEnvironment.insert(QStringLiteral("NOTIFY_SOCKET"), QFile::decodeName(manager.Path()));
    numberLineAwaited = false;
    ASSERT_NO_FATAL_FAILURE(StartCopy({"--quiet"}));
    QByteArrayList heard;
    ASSERT_TRUE(WaitFor([&] {
        heard += manager.Take();
        return heard.join('\n').contains("READY=1");
    })) << copy.ReadErrors().constData();
    copy.process->terminate();
    ASSERT_TRUE(copy.process->waitForFinished(60000));
    EXPECT_EQ(copy.process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(copy.process->exitCode(), 4) << copy.ReadErrors().constData();
    EXPECT_EQ(copy.ReadErrors(), "skyfill: error: settings not saved to '" +
                                     QFile::encodeName(copy.dir->filePath("presets/last.skf")) +
                                     "' (it is a folder)\n");
}

} // namespace
