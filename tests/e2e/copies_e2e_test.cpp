// Running copies of the real program publishing through the vendor's NDI runtime, each a
// process of its own on the session bus, seen only from outside: skyfill-monitor finds
// and receives them over the loopback address, skyfill-remote drives them.

#include "tests/app/copy_process.h"
#include "tests/e2e/real_runtime.h"
#include "tests/ndi/product_text.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QImageReader>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// Sanitizer builds on two busy cores are slow to start and to answer.
constexpr int kProcessWaitMs = 120000;

Ran Monitor(QStringList arguments) {
    arguments.prepend(QStringLiteral("127.0.0.1"));
    arguments.prepend(QStringLiteral("--extra-ips"));
    return RunProgram(QStringLiteral(SKYFILL_MONITOR), arguments);
}

QString Discovered(int number) {
    return QString::fromStdString(e2e::DiscoveredName("Kova Gradient " + std::to_string(number)));
}

// The NDI sources `list` shows, by name.
std::set<QString> Listed() {
    const Ran ran = Monitor({QStringLiteral("list")});
    EXPECT_EQ(ran.code, 0) << ran.err.constData();
    std::set<QString> names;
    for (const QByteArray& line : ran.out.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 3 && fields[1] == "NDI") {
            names.insert(QString::fromUtf8(fields[0]));
        }
    }
    return names;
}

// What `watch` printed, field by field; a field that is missing or not a number fails.
QMap<QString, double> Watch(const QString& name, const char* seconds) {
    const Ran ran = Monitor({QStringLiteral("watch"), name, QString::fromLatin1(seconds)});
    EXPECT_EQ(ran.code, 0) << ran.err.constData();
    QMap<QString, double> fields;
    for (const QByteArray& line : ran.out.split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 2) {
            continue;
        }
        bool number = false;
        fields[QString::fromUtf8(parts[0])] = parts[1].toDouble(&number);
        EXPECT_TRUE(number) << line.constData();
    }
    for (const char* field : {"frames received", "frames per second", "interval median ms",
                              "interval 99th percentile ms", "interval maximum ms",
                              "frames repeated", "frames skipped"}) {
        EXPECT_TRUE(fields.contains(QString::fromLatin1(field))) << field << " missing from:\n"
                                                                 << ran.out.constData();
    }
    return fields;
}

void Remote(const char* command) {
    const Ran ran = RunProgram(QStringLiteral(SKYFILL_REMOTE), {QString::fromLatin1(command)});
    ASSERT_EQ(ran.code, 0) << ran.err.constData();
}

class CopiesE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_NDI_RUNTIME();
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
        // The copies and the monitor inherit both.
        e2e::UseLoopbackDiscovery();
        ::setenv("NDI_RUNTIME_DIR_V6", e2e::kRuntimeDir.c_str(), 1);
    }
    void TearDown() override { EndCopies(); }

    // Terminates every copy; each ends normally, with status 0.
    void EndCopies() {
        for (Copy& copy : copies) {
            copy.process->terminate();
        }
        for (Copy& copy : copies) {
            if (copy.process->state() != QProcess::NotRunning) {
                EXPECT_TRUE(copy.process->waitForFinished(kProcessWaitMs));
            }
            EXPECT_EQ(copy.process->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(copy.process->exitCode(), 0) << copy.ReadErrors().constData();
        }
        copies.clear();
    }

    // Starts `count` copies without a display and waits until each has titled itself;
    // their numbers.
    std::set<int> StartCopies(int count) {
        const QProcessEnvironment env = HeadlessEnvironment();
        for (int i = 0; i < count; ++i) {
            Copy copy;
            copy.process->setProcessEnvironment(env);
            copy.process->setWorkingDirectory(copy.dir->path());
            copy.process->start(QStringLiteral(SKYFILL_BINARY),
                                {QStringLiteral("--presets-dir"), copy.dir->path()});
            EXPECT_TRUE(copy.process->waitForStarted(kProcessWaitMs));
            copies.push_back(std::move(copy));
        }
        std::set<int> numbers;
        for (Copy& copy : copies) {
            const int number = SettledNumber(copy, kProcessWaitMs);
            EXPECT_NE(number, 0) << copy.errors.constData();
            numbers.insert(number);
        }
        return numbers;
    }

    std::vector<Copy> copies;
};

TEST_F(CopiesE2eTest, ThreeCopiesArePublishedUnderTheirNumbersAndVanishWhenTheyEnd) {
    ASSERT_EQ(StartCopies(3), (std::set<int>{1, 2, 3}));
    const std::vector<QString> names = {Discovered(1), Discovered(2), Discovered(3)};
    // Without mDNS every copy answers discovery on the same port of the loopback address
    // and one listing hears only the copy its connection was handed to: the copies show
    // up across listings.
    std::set<QString> seen;
    WaitFor(
        [&] {
            const std::set<QString> listed = Listed();
            seen.insert(listed.begin(), listed.end());
            return std::all_of(names.begin(), names.end(),
                               [&](const QString& name) { return seen.count(name) != 0; });
        },
        kProcessWaitMs);
    for (const QString& name : names) {
        EXPECT_EQ(seen.count(name), 1u) << name.toStdString();
    }

    EndCopies();
    EXPECT_TRUE(WaitFor(
        [&] {
            const std::set<QString> listed = Listed();
            return std::none_of(names.begin(), names.end(),
                                [&](const QString& name) { return listed.count(name) != 0; });
        },
        20000));
}

TEST_F(CopiesE2eTest, ACopyServesItsProductTextAndTheRemoteStartsAndStopsItsFrames) {
    ASSERT_EQ(StartCopies(1), (std::set<int>{1}));
    const QString name = Discovered(1);
    ASSERT_TRUE(WaitFor([&] { return Listed().count(name) != 0; }, kProcessWaitMs));

    const Ran metadata = Monitor({QStringLiteral("metadata"), name});
    EXPECT_EQ(metadata.code, 0) << metadata.err.constData();
    EXPECT_EQ(metadata.out.toStdString(), ExpectedProductText() + "\n");

    // The copy acts on the bus signal in its own time.
    // About 50 frames in 2 s at 25 per second; only a stall fails.
    Remote("start");
    QMap<QString, double> flowing;
    EXPECT_TRUE(WaitFor(
        [&] { return (flowing = Watch(name, "2")).value(QStringLiteral("frames received")) >= 10; },
        kProcessWaitMs));
    EXPECT_GT(flowing[QStringLiteral("interval maximum ms")], 0);

    const QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("frame.png"));
    const Ran save = Monitor({QStringLiteral("save"), name, png});
    EXPECT_EQ(save.code, 0) << save.err.constData();
    QImageReader reader(png);
    EXPECT_EQ(reader.format(), "png");
    EXPECT_EQ(reader.size(), QSize(1280, 720));

    // A receiver that connects to a stopped sender gets its last frame once.
    Remote("stop");
    EXPECT_TRUE(
        WaitFor([&] { return Watch(name, "2").value(QStringLiteral("frames received")) <= 1; },
                kProcessWaitMs));
    EXPECT_EQ(Listed().count(name), 1u);
}

} // namespace
