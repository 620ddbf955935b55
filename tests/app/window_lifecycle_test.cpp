// How the window ends, and what it says when its source cannot be published.

#include "app/menu_tables.h"
#include "tests/app/window_test_support.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// While it lives, files may not grow past 100 bytes, so every preset save fails with a
// message.
class SavesFail {
public:
    SavesFail() : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &m_limit);
        const struct rlimit small = {100, m_limit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SavesFail() {
        ::setrlimit(RLIMIT_FSIZE, &m_limit);
        std::signal(SIGXFSZ, m_handler);
    }
    SavesFail(const SavesFail&) = delete;
    SavesFail& operator=(const SavesFail&) = delete;

private:
    void (*m_handler)(int);
    struct rlimit m_limit = {};
};

class WindowLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<MainWindow>(AloneEnvironment(prompts, 4343));
        ASSERT_TRUE(window->Start());
        window->OnSettleTimer();
    }
    void TearDown() override {
        if (window->Output() != nullptr) {
            window->OnStop();
        }
        window.reset();
    }

    int CountTold(const QString& part) const {
        int count = 0;
        for (const QString& line : prompts.told) {
            count += line.contains(part) ? 1 : 0;
        }
        return count;
    }

    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowLifecycleTest, ATerminationSignalDuringAFailedSaveAtExitDoesNotSaveAgain) {
    prompts.whileOpen = [this] { window->ShutDownNow(); };
    {
        const SavesFail failing;
        window->ShutDownNow();
    }
    EXPECT_TRUE(window->HasEnded());
    EXPECT_EQ(CountTold(QStringLiteral("Save File|")), 1) << prompts.told.join('\n').toStdString();
    EXPECT_EQ(CountingRuntime::destroyed, 1);
}

TEST_F(WindowLifecycleTest, ATerminationSignalClosesRealMessageBoxesAndNothingWaitsAfterIt) {
    window.reset();
    window = std::make_unique<MainWindow>([this] {
        WindowEnvironment environment = AloneEnvironment(prompts, 4344);
        environment.prompts = nullptr; // real boxes, on the offscreen screen
        return environment;
    }());
    ASSERT_TRUE(window->Start());
    window->OnSettleTimer();
    // Should anything still wait for an answer, this answers it, so the test fails
    // rather than hangs.
    bool rescued = false;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&rescued] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            rescued = true;
            box->reject();
        }
    });
    watchdog.start(20000);
    const SavesFail failing;
    // The signal comes while "OK to exit?" is open; the save at exit then fails.
    QTimer::singleShot(0, window.get(), [this] { window->ShutDownNow(); });
    window->OnOK();
    EXPECT_FALSE(rescued);
    EXPECT_TRUE(window->HasEnded());
    EXPECT_EQ(CountingRuntime::destroyed, 1);
}

TEST_F(WindowLifecycleTest, ASenderThatCannotBeCreatedIsReportedOnceWithTheReason) {
    // Created fine at settlement; now the name is held elsewhere.
    ASSERT_TRUE(window->Output()->HasSender());
    CountingRuntime::failCreate = EEXIST;
    window->OnResolutionChosen(ResolutionItemOf(640, 360));
    EXPECT_FALSE(window->Output()->HasSender());
    ASSERT_EQ(prompts.told.size(), 1);
    EXPECT_EQ(prompts.told[0],
              QStringLiteral("Skyfill|Cannot publish the NDI source \"Kova Gradient 1\": another "
                             "sender on this machine already uses that name."));
    // Start is refused without repeating it; so is another failed re-configure.
    window->OnStart();
    EXPECT_EQ(window->Sending(), 0);
    window->OnFrameRateChosen(FrameRateItemOf(1000));
    EXPECT_EQ(prompts.told.size(), 1);

    // Once a sender existed again, a new failure is news.
    CountingRuntime::failCreate = 0;
    window->OnFrameRateChosen(FrameRateItemOf(1200));
    ASSERT_TRUE(window->Output()->HasSender());
    CountingRuntime::failCreate = EACCES;
    window->OnFrameRateChosen(FrameRateItemOf(1001));
    ASSERT_EQ(prompts.told.size(), 2);
    EXPECT_TRUE(prompts.told[1].endsWith(QStringLiteral(": Permission denied.")))
        << prompts.told[1].toStdString();
}

} // namespace
