#pragma once

#include "app/menu_tables.h"
#include "tests/app/window_test_support.h"
#include "ui_main_window.h"

#include <QList>
#include <QUrl>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

// One window alone on the counting stand-in, its questions answered by `prompts` and
// the pages it opens collected in `opened`.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WindowEnvironment environment = AloneEnvironment(prompts, 4242);
        environment.openUrl = [this](const QUrl& url) { opened << url; };
        window = std::make_unique<MainWindow>(std::move(environment));
    }
    void TearDown() override {
        if (window && window->Output() != nullptr) {
            window->OnStop();
        }
        window.reset();
    }

    void StartAndSettle() {
        ASSERT_TRUE(window->Start());
        window->OnSettleTimer();
        ASSERT_TRUE(window->Output()->HasSender());
    }

    uint32_t Pixel(int x, int y) {
        uint32_t v;
        std::memcpy(&v, window->Output()->FrameStore() + (y * window->Format().width + x) * 4, 4);
        return v;
    }

    Ui::MainWindow& ui() { return window->Controls(); }

    // A colour changed without a handler, as the rotation changes them.
    void SetCurrentColour(uint32_t argb) {
        GeneratorSettings settings = window->Settings();
        settings.currentColours[0] = ColourRecord::FromValue(argb);
        window->Engine().Apply(settings);
    }

    ScriptedPrompts prompts;
    QList<QUrl> opened;
    std::unique_ptr<MainWindow> window;
};
