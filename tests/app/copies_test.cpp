// Running copies of the real program, each a process of its own, coordinating over
// the session bus (the test command runs the suite under dbus-run-session) and
// publishing through the built-in stand-in runtime, watched with skyfill-monitor and
// driven with skyfill-remote.

#include "tests/app/copy_process.h"

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <pwd.h>
#include <set>
#include <unistd.h>
#include <vector>

namespace {

class CopiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
    }
    void TearDown() override { EndAll(); }

    // Asks every copy to end, all at once, and waits for them.
    void EndAll() {
        for (auto& copy : copies) {
            if (copy.process->state() != QProcess::NotRunning) {
                if (copy.ownGroup) {
                    ::kill(-static_cast<pid_t>(copy.process->processId()), SIGTERM);
                } else {
                    copy.process->terminate();
                }
            }
        }
        for (auto& copy : copies) {
            copy.process->waitForFinished(60000);
        }
        copies.clear();
    }

    // Another user, and the program where that user can run it.
    struct OtherUser {
        uid_t id;
        QString program;
    };

    static QStringList AsUser(uid_t user) {
        const QString id = QString::number(user);
        return {QStringLiteral("setpriv"), "--reuid=" + id, "--regid=" + id,
                QStringLiteral("--clear-groups"), QStringLiteral("--")};
    }

    // Starts a copy without a display, its presets kept in its own folder; returns at
    // once. Given another user, the copy runs as that user on a session bus of its own, in
    // a process group of its own.
    Copy& Start(const std::optional<OtherUser>& user = std::nullopt) {
        Copy copy;
        const QStringList ownPresets = {QStringLiteral("--presets-dir"), copy.dir->path()};
        QProcessEnvironment env = HeadlessEnvironment();
        copy.process->setProcessEnvironment(env);
        copy.process->setWorkingDirectory(copy.dir->path());
        if (user) {
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
            env.insert(QStringLiteral("HOME"), copy.dir->path());
            copy.process->setProcessEnvironment(env);
            EXPECT_EQ(::chown(QFile::encodeName(copy.dir->path()).constData(), user->id, user->id),
                      0);
            copy.ownGroup = true;
            copy.process->start(QStringLiteral("setsid"),
                                AsUser(user->id) +
                                    QStringList{QStringLiteral("dbus-run-session"),
                                                QStringLiteral("--"), user->program} +
                                    ownPresets);
        } else {
            copy.process->start(QStringLiteral(SKYFILL_BINARY), ownPresets);
        }
        EXPECT_TRUE(copy.process->waitForStarted(60000));
        copies.push_back(std::move(copy));
        return copies.back();
    }

    // Eight sanitizer builds starting on two busy cores take a while.
    static int SettledNumber(Copy& copy) { return ::SettledNumber(copy, 120000); }

    // Frames sent so far by each live stand-in source, by name.
    // The copies' sources only: other suites running beside this one publish their own.
    static QMap<QString, long> Sources() {
        QProcess monitor;
        monitor.start(QStringLiteral(SKYFILL_MONITOR), {QStringLiteral("list")});
        // A busy machine may take many seconds; an unfinished listing is no listing.
        EXPECT_TRUE(monitor.waitForFinished(120000));
        QMap<QString, long> sources;
        for (const QByteArray& line : monitor.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            const QString name = QString::fromUtf8(fields[0]);
            static const QRegularExpression copyName(QStringLiteral("^Kova Gradient \\d+$"));
            if (fields.size() >= 5 && copyName.match(name).hasMatch()) {
                sources[name] = fields[4].toLong();
            }
        }
        return sources;
    }

    static QStringList SourceNames(int count) {
        QStringList names;
        for (int n = 1; n <= count; ++n) {
            names << QStringLiteral("Kova Gradient %1").arg(n);
        }
        return names;
    }

    static void Remote(const char* command) {
        QProcess remote;
        remote.start(QStringLiteral(SKYFILL_REMOTE), {QString::fromLatin1(command)});
        ASSERT_TRUE(remote.waitForFinished(120000));
        ASSERT_EQ(remote.exitCode(), 0);
    }

    std::vector<Copy> copies;
};

TEST_F(CopiesTest, CopiesStartedTogetherTakeDistinctNumbersAndFreedOnesAreTakenAgain) {
    constexpr int kRounds = 10;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < 8; ++i) {
            Start();
        }
        std::set<int> numbers;
        for (Copy& copy : copies) {
            numbers.insert(SettledNumber(copy));
        }
        ASSERT_EQ(numbers, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8})) << "round " << round;
        ASSERT_EQ(QStringList(Sources().keys()), SourceNames(8)) << "round " << round;
        if (round + 1 < kRounds) {
            EndAll();
        }
    }

    // Every copy obeys the remote once it has titled itself.
    Remote("start");
    const QMap<QString, long> before = Sources();
    EXPECT_TRUE(WaitFor([&] {
        const QMap<QString, long> now = Sources();
        return std::all_of(before.keyBegin(), before.keyEnd(), [&](const QString& name) {
            return now.value(name) > before.value(name) + 2;
        });
    }));
    // Stopped once no count moves over half a second.
    Remote("stop");
    EXPECT_TRUE(WaitFor([] {
        const QMap<QString, long> earlier = Sources();
        QTest::qWait(500);
        return Sources() == earlier;
    }));

    // A copy killed outright frees its number for the next newcomer.
    auto third = std::find_if(copies.begin(), copies.end(), [](Copy& copy) {
        return copy.ReadErrors().contains("copy No 3 publishes");
    });
    ASSERT_NE(third, copies.end());
    third->process->kill();
    ASSERT_TRUE(third->process->waitForFinished(60000));
    EXPECT_EQ(SettledNumber(Start()), 3);
    EXPECT_EQ(QStringList(Sources().keys()), SourceNames(8));

    // With all eight taken, a ninth copy asks to leave and, unattended, leaves.
    Copy& ninth = Start();
    ASSERT_TRUE(ninth.process->waitForFinished(120000));
    EXPECT_EQ(ninth.process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ninth.process->exitCode(), 3); // a service manager sees it failed
    EXPECT_TRUE(ninth.ReadErrors().contains(
        "skyfill: error: all eight copy numbers are taken; this copy publishes nothing\n"))
        << ninth.errors.constData();
    EXPECT_EQ(Sources().size(), 8);
}

TEST_F(CopiesTest, AHangUpEndsACopyTheWayTerminationDoes) {
    Copy& copy = Start();
    ASSERT_EQ(SettledNumber(copy), 1);
    ::kill(static_cast<pid_t>(copy.process->processId()), SIGHUP);
    ASSERT_TRUE(copy.process->waitForFinished(120000));
    EXPECT_EQ(copy.process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(copy.process->exitCode(), 0);
    EXPECT_TRUE(QFileInfo(copy.dir->filePath(QStringLiteral("last.skf"))).isFile());
    EXPECT_FALSE(Sources().contains(QStringLiteral("Kova Gradient 1")));
}

// Each user's sources have names of their own: another user's copy 1 takes nothing from
// this user's, and the monitor shows it, saying whose it is, only when asked.
TEST_F(CopiesTest, TwoUsersEachPublishTheirOwnCopyOne) {
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
        GTEST_SKIP() << "switching users needs root and setpriv";
    }
    constexpr uid_t kOtherUser = 65534;
    // The build may lie where the other user cannot enter (a clone in /root); the program
    // is one executable needing only system libraries, so a copy of it runs anywhere.
    const QTemporaryDir reachable(QDir::temp().filePath(QStringLiteral("skyfill-other-XXXXXX")));
    const QString program = reachable.filePath(QStringLiteral("skyfill"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(SKYFILL_BINARY), program));
    ASSERT_TRUE(QFile::setPermissions(reachable.path(), QFile::permissions(reachable.path()) |
                                                            QFile::ReadOther | QFile::ExeOther |
                                                            QFile::ReadGroup | QFile::ExeGroup));
    const Ran version =
        RunProgram(QStringLiteral("setpriv"), AsUser(kOtherUser).mid(1) << program << "--version");
    if (version.code != 0) {
        GTEST_SKIP() << "the other user cannot run " << qPrintable(program) << ": "
                     << version.err.constData();
    }
    Start();
    Start(OtherUser{kOtherUser, program});
    EXPECT_EQ(SettledNumber(copies[0]), 1) << copies[0].errors.constData();
    EXPECT_EQ(SettledNumber(copies[1]), 1) << copies[1].errors.constData();
    EXPECT_EQ(QStringList(Sources().keys()), SourceNames(1));

    const Ran listing = RunProgram(QStringLiteral(SKYFILL_MONITOR),
                                   {QStringLiteral("list"), QStringLiteral("--all-users")});
    ASSERT_EQ(listing.code, 0) << listing.err.constData();
    QStringList owners;
    for (const QByteArray& line : listing.out.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields[0] == "Kova Gradient 1") {
            owners << (fields.size() == 7 ? QString::fromUtf8(fields[6]) : QStringLiteral("mine"));
        }
    }
    const QString other = QString::fromLocal8Bit(getpwuid(kOtherUser)->pw_name);
    owners.sort();
    EXPECT_EQ(owners, QStringList({QStringLiteral("mine"), "user " + other}));
}

} // namespace
