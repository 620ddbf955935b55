// Copies of the window coordinating over a real session bus (the test command runs
// the suite under dbus-run-session). Each copy has a connection of its own, as
// separate processes would.

#include "app/bus_link.h"
#include "tests/app/window_test_support.h"
#include "ui_skyfill_dlg.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 3000) {
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
        CountingRuntime::Make();
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
        std::unique_ptr<CSkyfillDlg> window;
    };

    QDBusConnection Connect(const QString& name) {
        connections << name;
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }

    CSkyfillDlg& Launch(uint32_t pid) {
        RunningCopy copy;
        copy.bus = std::make_unique<BusLink>(Connect(QStringLiteral("copy%1").arg(pid)));
        SkyfillEnvironment environment;
        environment.runtime = StandInNdiRuntime();
        environment.prompts = &prompts;
        environment.bus = copy.bus.get();
        environment.processId = pid;
        environment.startupDraw = 7;
        environment.openUrl = [](const QUrl&) {};
        copy.window = std::make_unique<CSkyfillDlg>(std::move(environment));
        EXPECT_TRUE(copy.window->OnInitDialog());
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

    ScriptedPrompts prompts;
    std::vector<RunningCopy> copies;
    QStringList connections;
};

TEST_F(BusCoordinationTest, CopiesTakeConsecutiveNumbersAndObeyRemoteStartStop) {
    CSkyfillDlg& first = Launch(1001);
    ASSERT_TRUE(WaitFor([&] { return !first.TimerRunning(CSkyfillDlg::kSettleTimer); }));
    EXPECT_EQ(first.windowTitle(), QStringLiteral("Kova Skyfill for NDI® - No 1"));

    CSkyfillDlg& second = Launch(1002);
    ASSERT_TRUE(WaitFor([&] { return !second.TimerRunning(CSkyfillDlg::kSettleTimer); }));
    EXPECT_EQ(second.windowTitle(), QStringLiteral("Kova Skyfill for NDI® - No 2"));
    EXPECT_EQ(second.m_instanceNumber, 1);
    EXPECT_TRUE(second.Output()->HasSender());

    PostFromOutside(Post(1, 1));
    ASSERT_TRUE(WaitFor([&] { return first.m_sending == 1 && second.m_sending == 1; }));
    EXPECT_FALSE(first.Controls().m_startButton->isEnabled());

    // Messages of another shape on the same interface never reach the copies.
    QDBusMessage wrongShape =
        QDBusMessage::createSignal(BusLink::kPath, BusLink::kInterface, BusLink::kMember);
    wrongShape << QStringLiteral("stop") << 0;
    PostFromOutside(wrongShape);
    QDBusMessage onlyCommand =
        QDBusMessage::createSignal(BusLink::kPath, BusLink::kInterface, BusLink::kMember);
    onlyCommand << 1;
    PostFromOutside(onlyCommand);
    PostFromOutside(Post(1, 7));
    PostFromOutside(Post(3, -5));
    QTest::qWait(200);
    QCoreApplication::processEvents();
    EXPECT_EQ(first.m_sending, 1);
    EXPECT_EQ(second.m_sending, 1);

    PostFromOutside(Post(1, 0));
    ASSERT_TRUE(WaitFor([&] { return first.m_sending == 0 && second.m_sending == 0; }));
    EXPECT_TRUE(second.Controls().m_startButton->isEnabled());
}

TEST_F(BusCoordinationTest, NinthCopyAsksToExitAndStaysWithoutASenderWhenDeclined) {
    // Eight copies answer the newcomer's announcement.
    QDBusConnection outside = Connect(QStringLiteral("eight"));
    CSkyfillDlg& ninth = Launch(2009);
    for (int n = 0; n < 8; ++n) {
        outside.send(Post(3, n));
    }
    prompts.answers = {false};
    ASSERT_TRUE(WaitFor([&] { return !ninth.TimerRunning(CSkyfillDlg::kSettleTimer); }));
    ASSERT_EQ(prompts.asked.size(), 1);
    EXPECT_EQ(prompts.asked[0], QStringLiteral("Quit Skyfill|OK to exit?"));
    EXPECT_FALSE(ninth.HasEnded());
    EXPECT_FALSE(ninth.Output()->HasSender());
    EXPECT_EQ(ninth.windowTitle(), QStringLiteral("Kova NDI® Skyfill"));
}

} // namespace
