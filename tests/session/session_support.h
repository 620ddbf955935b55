#pragma once

#include "ndi_standin/standin_runtime.h"
#include "session/copy_session.h"
#include "session/session_face.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

// Answers questions from a script and remembers every question and message, as
// "caption|text".
struct Script {
    bool Ask(const QString& caption, const QString& text) {
        asked << caption + "|" + text;
        RunWhileOpen();
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(const QString& caption, const QString& text) {
        told << caption + "|" + text;
        RunWhileOpen();
    }
    // Something that happens while a question or message is open, once.
    void RunWhileOpen() {
        if (whileOpen) {
            std::exchange(whileOpen, nullptr)();
        }
    }

    std::deque<bool> answers;
    std::function<void()> whileOpen;
    QStringList asked;
    QStringList told;
};

// A session's face that answers from a script and counts the changes it is told of.
class ScriptedFace : public SessionFace, public Script {
public:
    std::optional<bool> Ask(const SessionQuestion& question) override {
        return Script::Ask(question.caption, question.text);
    }
    void ShowMessage(const SessionMessage& message) override {
        Script::Tell(message.caption, message.text);
    }
    void StatusChanged() override { ++changes; }

    int changes = 0;
};

// The stand-in runtime with its calls counted.
struct CountingRuntime {
    static inline std::atomic<int> initialised{0};
    static inline std::atomic<int> destroyed{0};
    static inline std::atomic<int> creates{0};
    // Frames sent, repeats included.
    static inline std::atomic<int> sends{0};
    static inline std::atomic<int> repeats{0};
    static inline bool failInitialise = false;
    // send_create fails with this errno when not 0.
    static inline int failCreate = 0;

    static NdiRuntime Make() {
        initialised = 0;
        destroyed = 0;
        creates = 0;
        sends = 0;
        repeats = 0;
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
        runtime.api.send_repeat_video = [](NDIlib_send_instance_t sender,
                                           const NDIlib_video_frame_v2_t* frame) {
            ++sends;
            ++repeats;
            standin::Api().send_repeat_video(sender, frame);
        };
        return runtime;
    }
};

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

// A fresh working folder for the copies of one test, so that none finds preset files
// another left; the previous one is current again afterwards.
class WorkFolder {
public:
    WorkFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~WorkFolder() { QDir::setCurrent(m_previous); }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    bool Valid() const {
        return m_dir.isValid() && QDir::currentPath() == QDir(m_dir.path()).canonicalPath();
    }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// A copy alone (no coordination link) on the counting stand-in, start-up draw 7.
inline SessionEnvironment AloneSession(uint32_t processId) {
    SessionEnvironment environment;
    environment.runtime = CountingRuntime::Make();
    environment.processId = processId;
    environment.startupDraw = 7;
    return environment;
}

// A session that has started and settled its number, its face scripted.
class SessionFixture {
public:
    explicit SessionFixture(SessionEnvironment environment = AloneSession(4242))
        : session(std::move(environment)) {
        session.AttachFace(face);
    }
    ~SessionFixture() {
        session.StopSending();
        session.DetachFace(face);
    }

    bool StartAndSettle() {
        if (!session.Start()) {
            return false;
        }
        session.SettleNumber();
        return session.Output() != nullptr && session.Output()->HasSender();
    }
    uint32_t Pixel(int x, int y) {
        uint32_t v;
        std::memcpy(&v, session.Output()->FrameStore() + (y * session.Format().width + x) * 4, 4);
        return v;
    }
    // A colour changed without a command, as the rotation changes them.
    void SetCurrentColour(uint32_t argb) {
        GeneratorSettings settings = session.Settings();
        settings.currentColours[0] = ColourRecord::FromValue(argb);
        session.Engine().Apply(settings);
    }

    ScriptedFace face;
    CopySession session;
};
