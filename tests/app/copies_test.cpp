// Running copies of the real program, each a process of its own, coordinating over
// the session bus (the test command runs the suite under dbus-run-session) and
// publishing through the built-in stand-in runtime, watched with skyfill-monitor and
// driven with skyfill-remote.

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

bool WaitFor(const std::function<bool()>& done, int milliseconds = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds) {
        QTest::qWait(20);
    }
    return done();
}

struct Copy {
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray errors;

    QByteArray ReadErrors() {
        errors += process->readAllStandardError();
        return errors;
    }
};

class CopiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
    }
    void TearDown() override {
        for (auto& copy : copies) {
            if (copy.process->state() != QProcess::NotRunning) {
                copy.process->terminate();
                copy.process->waitForFinished(10000);
            }
        }
    }

    // Starts a copy without a display and waits until it has settled its number.
    Copy& Launch(const char* expectTitle) {
        Copy copy;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        copy.process->setProcessEnvironment(env);
        copy.process->setWorkingDirectory(copy.dir->path());
        copy.process->start(QStringLiteral(SKYFILL_BINARY), {});
        EXPECT_TRUE(copy.process->waitForStarted(10000));
        copies.push_back(std::move(copy));
        Copy& started = copies.back();
        if (expectTitle != nullptr) {
            EXPECT_TRUE(WaitFor([&] { return started.ReadErrors().contains(expectTitle); }))
                << started.errors.constData();
        }
        return started;
    }

    // Frames sent so far by each live stand-in source, by name.
    // The copies' sources only: other suites running beside this one publish their own.
    static QMap<QString, long> Sources() {
        QProcess monitor;
        monitor.start(QStringLiteral(SKYFILL_MONITOR), {QStringLiteral("list")});
        monitor.waitForFinished(10000);
        QMap<QString, long> sources;
        for (const QByteArray& line : monitor.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            const QString name = QString::fromUtf8(fields[0]);
            if (fields.size() >= 5 && name.startsWith(QStringLiteral("Kova Gradient "))) {
                sources[name] = fields[4].toLong();
            }
        }
        return sources;
    }

    static void Remote(const char* command) {
        QProcess remote;
        remote.start(QStringLiteral(SKYFILL_REMOTE), {QString::fromLatin1(command)});
        ASSERT_TRUE(remote.waitForFinished(10000));
        ASSERT_EQ(remote.exitCode(), 0);
    }

    std::vector<Copy> copies;
};

TEST_F(CopiesTest, CopiesNumberThemselvesAndObeyTheRemote) {
    Launch("No 1");
    Launch("No 2");
    Launch("No 3");
    QMap<QString, long> sources = Sources();
    for (const char* name : {"Kova Gradient 1", "Kova Gradient 2", "Kova Gradient 3"}) {
        EXPECT_TRUE(sources.contains(QString::fromLatin1(name)))
            << name << " among "
            << QStringList(sources.keys()).join(QLatin1Char(',')).toStdString();
    }

    Remote("start");
    const QMap<QString, long> before = Sources();
    EXPECT_TRUE(WaitFor([&] {
        const QMap<QString, long> now = Sources();
        for (const char* name : {"Kova Gradient 1", "Kova Gradient 2", "Kova Gradient 3"}) {
            if (now.value(QString::fromLatin1(name)) <=
                before.value(QString::fromLatin1(name)) + 5) {
                return false;
            }
        }
        return true;
    }));
    Remote("stop");
    QTest::qWait(500);
    const QMap<QString, long> stopped = Sources();
    QTest::qWait(500);
    EXPECT_EQ(Sources(), stopped);

    // With numbers 0 and 2 taken, a newcomer takes 1.
    copies[1].process->terminate();
    ASSERT_TRUE(copies[1].process->waitForFinished(10000));
    EXPECT_FALSE(Sources().contains(QStringLiteral("Kova Gradient 2")));
    Launch("No 2");
    EXPECT_TRUE(Sources().contains(QStringLiteral("Kova Gradient 2")));
}

TEST_F(CopiesTest, ANinthCopyFindsNoNumberAndLeaves) {
    for (const char* title : {"No 1", "No 2", "No 3", "No 4", "No 5", "No 6", "No 7", "No 8"}) {
        Launch(title);
    }
    Copy& ninth = Launch(nullptr);
    ASSERT_TRUE(ninth.process->waitForFinished(30000));
    EXPECT_EQ(ninth.process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ninth.process->exitCode(), 0);
    EXPECT_TRUE(ninth.ReadErrors().contains("Quit Skyfill: OK to exit?"))
        << ninth.errors.constData();
    EXPECT_EQ(Sources().size(), 8);
}

} // namespace
