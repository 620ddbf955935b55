// Copies of the window coordinating over a real session bus (the test command runs
// the suite under dbus-run-session). Each copy has a connection of its own, as
// separate processes would.

#include "app/bus_link.h"
#include "tests/app/window_test_support.h"
#include "ui_main_window.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Generous: it returns as soon as the condition holds, and a loaded machine running
// sanitizer builds can take seconds to pass a signal round.
bool WaitFor(const std::function<bool()>& condition, int milliseconds = 30000) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (condition()) {
            return true;
        }
        QTest::qWait(10);
    }
    return condition();
}

class BusCoordinationTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
        // Sources named per test process, so nothing else on the machine collides.
        runtime = CountingRuntime::Make();
    }
    void TearDown() override {
        for (auto& copy : copies) {
            if (copy.window->Output() != nullptr) {
                copy.window->OnStop();
            }
        }
        copies.clear();
        for (const QString& name : connections) {
            QDBusConnection::disconnectFromBus(name);
        }
    }

    struct RunningCopy {
        std::unique_ptr<BusLink> bus;
        std::unique_ptr<MainWindow> window;
    };

    QDBusConnection Connect(const QString& name) {
        connections << name;
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }

    MainWindow& Launch(uint32_t pid) {
        RunningCopy copy;
        copy.bus = std::make_unique<BusLink>(Connect(QStringLiteral("copy%1").arg(pid)));
        WindowEnvironment environment;
        environment.runtime = runtime;
        environment.prompts = &prompts;
        environment.bus = copy.bus.get();
        environment.processId = pid;
        environment.startupDraw = 7;
        environment.openUrl = [](const QUrl&) {};
        copy.window = std::make_unique<MainWindow>(std::move(environment));
        EXPECT_TRUE(copy.window->Start());
        copies.push_back(std::move(copy));
        return *copies.back().window;
    }

    // Another program's message, the way dbus-send would post it.
    void PostFromOutside(const QDBusMessage& message) {
        QDBusConnection outside = Connect(QStringLiteral("outside"));
        ASSERT_TRUE(outside.send(message));
    }

    static QDBusMessage Post(int command, qlonglong argument) {
        QDBusMessage m =
            QDBusMessage::createSignal(BusLink::kPath, BusLink::kInterface, BusLink::kMember);
        m << command << argument;
        return m;
    }

    NdiRuntime runtime;
    ScriptedPrompts prompts;
    std::vector<RunningCopy> copies;
    QStringList connections;
};

TEST_F(BusCoordinationTest, CopiesTakeConsecutiveNumbersAndObeyRemoteStartStop) {
    MainWindow& first = Launch(1001);
    ASSERT_TRUE(WaitFor([&] { return !first.SettleTimer().isActive(); }));
    EXPECT_EQ(first.windowTitle(), QStringLiteral("Kova Skyfill for NDI® - No 1"));

    MainWindow& second = Launch(1002);
    ASSERT_TRUE(WaitFor([&] { return !second.SettleTimer().isActive(); }));
    EXPECT_EQ(second.windowTitle(), QStringLiteral("Kova Skyfill for NDI® - No 2"));
    EXPECT_EQ(second.Numbering().m_instanceNumber, 1);
    EXPECT_TRUE(second.Output()->HasSender());

    PostFromOutside(Post(1, 1));
    ASSERT_TRUE(WaitFor([&] { return first.Sending() == 1 && second.Sending() == 1; }));
    EXPECT_FALSE(first.Controls().m_startButton->isEnabled());

    PostFromOutside(Post(1, 0));
    ASSERT_TRUE(WaitFor([&] { return first.Sending() == 0 && second.Sending() == 0; }));
    EXPECT_TRUE(second.Controls().m_startButton->isEnabled());
}

// Every shape but (int32, int64) on the coordination path and interface: basic types,
// containers, variants, missing and extra arguments.
QList<QVariantList> OtherShapes() {
    QDBusArgument structure;
    structure.beginStructure();
    structure << 1 << qlonglong{1};
    structure.endStructure();
    const QVariantList basics = {QVariant::fromValue(uchar{1}),
                                 true,
                                 QVariant::fromValue(short{1}),
                                 QVariant::fromValue(ushort{1}),
                                 1,
                                 1u,
                                 qlonglong{1},
                                 qulonglong{1},
                                 1.0,
                                 QStringLiteral("1"),
                                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/a"))),
                                 QVariant::fromValue(QDBusSignature(QStringLiteral("i")))};
    const QVariantList containers = {QVariant::fromValue(QList<int>{1}),
                                     QStringList{"1"},
                                     QByteArray("\1"),
                                     QVariantMap{{"a", 1}},
                                     QVariant::fromValue(QDBusVariant(1)),
                                     QVariant::fromValue(QDBusVariant(qlonglong{1})),
                                     QVariant::fromValue(structure)};
    QList<QVariantList> shapes = {{}, {1, qlonglong{1}, 1}, {qlonglong{1}, 1}};
    for (const QVariant& value : basics + containers) {
        shapes << QVariantList{value} << QVariantList{value, qlonglong{1}}
               << QVariantList{1, value};
    }
    // Not the one valid shape, which the loop above also builds.
    shapes.removeIf([](const QVariantList& arguments) {
        return arguments.size() == 2 && arguments[0].metaType() == QMetaType::fromType<int>() &&
               arguments[1].metaType() == QMetaType::fromType<qlonglong>();
    });
    return shapes;
}

TEST_F(BusCoordinationTest, MessagesOfAnyOtherShapeAndFloodedAnswersDoNoHarm) {
    MainWindow& first = Launch(3001);
    ASSERT_TRUE(WaitFor([&] { return !first.SettleTimer().isActive(); }));
    MainWindow& second = Launch(3002);
    ASSERT_TRUE(WaitFor([&] { return !second.SettleTimer().isActive(); }));

    QDBusConnection outside = Connect(QStringLiteral("hostile"));
    for (const QVariantList& arguments : OtherShapes()) {
        QDBusMessage m =
            QDBusMessage::createSignal(BusLink::kPath, BusLink::kInterface, BusLink::kMember);
        m.setArguments(arguments);
        EXPECT_TRUE(outside.send(m)) << m.signature().toStdString();
    }
    // Well-formed commands out of range, and answers claiming every number, while a
    // newcomer settles: answers cannot hand out numbers or send anyone away.
    outside.send(Post(1, 7));
    MainWindow& third = Launch(3003);
    for (int round = 0; round < 50; ++round) {
        for (int n = -1; n < 9; ++n) {
            outside.send(Post(3, n));
        }
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitFor([&] { return !third.SettleTimer().isActive(); }));
    EXPECT_TRUE(prompts.asked.isEmpty()) << prompts.asked.join(',').toStdString();
    EXPECT_EQ(first.Numbering().m_instanceNumber, 0);
    EXPECT_EQ(second.Numbering().m_instanceNumber, 1);
    EXPECT_EQ(third.Numbering().m_instanceNumber, 2);
    EXPECT_EQ(third.windowTitle(), QStringLiteral("Kova Skyfill for NDI® - No 3"));
    EXPECT_EQ(first.Sending() + second.Sending() + third.Sending(), 0);

    PostFromOutside(Post(1, 1));
    EXPECT_TRUE(WaitFor(
        [&] { return first.Sending() == 1 && second.Sending() == 1 && third.Sending() == 1; }));
}

TEST_F(BusCoordinationTest, NinthCopyAsksToExitAndStaysWithoutASenderWhenDeclined) {
    // Eight copies hold the eight numbers.
    for (int n = 0; n < 8; ++n) {
        QDBusConnection holder = Connect(QStringLiteral("holder%1").arg(n));
        ASSERT_TRUE(holder.registerService(BusLink::CopyBusName(n)));
    }
    MainWindow& ninth = Launch(2009);
    prompts.answers = {false};
    ASSERT_TRUE(WaitFor([&] { return !ninth.SettleTimer().isActive(); }));
    ASSERT_EQ(prompts.asked.size(), 1);
    EXPECT_EQ(prompts.asked[0], QStringLiteral("Quit Skyfill|OK to exit?"));
    EXPECT_FALSE(ninth.HasEnded());
    EXPECT_FALSE(ninth.Output()->HasSender());
    EXPECT_EQ(ninth.windowTitle(), QStringLiteral("Kova NDI® Skyfill"));
}

} // namespace
