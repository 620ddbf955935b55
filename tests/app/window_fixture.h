#pragma once

#include "session/copy_session.h"
#include "tests/app/window_test_support.h"
#include "ui_main_window.h"

#include <QList>
#include <QUrl>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

// One window over a session alone on the counting stand-in, its questions answered by
// `prompts` and the pages it opens collected in `opened`.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<CopySession>(AloneSession(4242));
        window = std::make_unique<MainWindow>(*session, Environment(prompts));
    }
    void TearDown() override {
        window.reset();
        if (session->Output() != nullptr) {
            session->StopSending();
        }
        session.reset();
    }

    WindowEnvironment Environment(UserPrompts& answers) {
        WindowEnvironment environment;
        environment.prompts = &answers;
        environment.openUrl = [this](const QUrl& url) { opened << url; };
        return environment;
    }

    void StartAndSettle() {
        ASSERT_TRUE(window->Start());
        session->SettleNumber();
        ASSERT_TRUE(session->Output()->HasSender());
    }

    uint32_t Pixel(int x, int y) {
        uint32_t v;
        std::memcpy(&v, session->Output()->FrameStore() + (y * session->Format().width + x) * 4, 4);
        return v;
    }

    Ui::MainWindow& ui() { return window->Controls(); }

    ScriptedPrompts prompts;
    QList<QUrl> opened;
    std::unique_ptr<CopySession> session;
    std::unique_ptr<MainWindow> window;
};
