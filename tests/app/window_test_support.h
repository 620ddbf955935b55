#pragma once

#include "app/main_window.h"
#include "app/user_prompts.h"
#include "ndi/standin_runtime.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cerrno>
#include <deque>
#include <functional>
#include <string>
#include <unistd.h>
#include <utility>

// Answers message boxes from a script and remembers every one shown.
class ScriptedPrompts : public UserPrompts {
public:
    bool AskOkCancel(const QString& caption, const QString& text) override {
        asked << caption + "|" + text;
        if (whileOpen) {
            // Something that happens while the question is on screen.
            std::exchange(whileOpen, nullptr)();
        }
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(const QString& caption, const QString& text) override {
        told << caption + "|" + text;
        if (whileOpen) {
            std::exchange(whileOpen, nullptr)();
        }
    }

    std::deque<bool> answers;
    // Runs once, inside the next question or message.
    std::function<void()> whileOpen;
    QStringList asked;
    QStringList told;
};

// The stand-in runtime with its calls counted.
struct CountingRuntime {
    static inline std::atomic<int> initialised{0};
    static inline std::atomic<int> destroyed{0};
    static inline std::atomic<int> creates{0};
    static inline std::atomic<int> sends{0};
    static inline bool failInitialise = false;
    // send_create fails with this errno when not 0.
    static inline int failCreate = 0;

    static NdiRuntime Make() {
        initialised = 0;
        destroyed = 0;
        creates = 0;
        sends = 0;
        failInitialise = false;
        failCreate = 0;
        NdiRuntime runtime = StandInNdiRuntime();
        runtime.api.initialize = [] {
            ++initialised;
            return failInitialise ? false : standin::Api().initialize();
        };
        runtime.api.destroy = [] {
            ++destroyed;
            standin::Api().destroy();
        };
        runtime.api.send_create = [](const NDIlib_send_create_t* create) {
            ++creates;
            if (failCreate != 0) {
                errno = failCreate;
                return NDIlib_send_instance_t{nullptr};
            }
            // The stand-in refuses a name a live sender of this user uses; a suite
            // run beside another must not collide with it over "Kova Gradient 1".
            NDIlib_send_create_t own = *create;
            const std::string name = std::string(create->p_ndi_name ? create->p_ndi_name : "") +
                                     " test " + std::to_string(::getpid());
            own.p_ndi_name = name.c_str();
            return standin::Api().send_create(&own);
        };
        runtime.api.send_send_video_v2 = [](NDIlib_send_instance_t sender,
                                            const NDIlib_video_frame_v2_t* frame) {
            ++sends;
            standin::Api().send_send_video_v2(sender, frame);
        };
        return runtime;
    }
};

// A window that runs alone on the counting stand-in, its questions answered by `prompts`.
inline WindowEnvironment AloneEnvironment(ScriptedPrompts& prompts, uint32_t processId) {
    WindowEnvironment environment;
    environment.runtime = CountingRuntime::Make();
    environment.prompts = &prompts;
    environment.processId = processId;
    environment.startupDraw = 7;
    environment.openUrl = [](const QUrl&) {};
    environment.alone = true;
    return environment;
}
