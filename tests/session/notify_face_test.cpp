// What a service manager hears from a copy, read from a notification socket of the test's
// own, with a stand-in for the copy whose sending thread can stall behind its back.

#include "session/notify_face.h"
#include "tests/session/notify_listener.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct FakeCopy final : NotifySubject {
    int32_t number = 0;
    OutputFormat format{1920, 1080, 30000, 1200};
    bool sending = false;
    uint64_t frames = 0;
    bool ended = false;

    int32_t CopyNumber() const override { return number; }
    OutputFormat Format() const override { return format; }
    bool Sending() const override { return sending; }
    uint64_t FramesSent() const override { return frames; }
    bool Ended() const override { return ended; }
};

class NotifyFaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(manager.IsValid());
        setenv("NOTIFY_SOCKET", manager.Path().constData(), 1);
        setenv("WATCHDOG_USEC", "4000000", 1);
        setenv("WATCHDOG_PID", QByteArray::number(::getpid()).constData(), 1);
    }
    void TearDown() override {
        for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"}) {
            unsetenv(name);
        }
    }

    NotifyListener manager;
    FakeCopy copy;
};

TEST_F(NotifyFaceTest, WithStartItIsReadyOnlyOnceNumberedAndSendingAndSaysEachNewState) {
    NotifyFace face(copy, true);
    face.StatusChanged();
    EXPECT_EQ(manager.Take(), QByteArrayList{"STATUS=waiting for a number"});
    copy.number = 3;
    face.StatusChanged();
    EXPECT_EQ(manager.Take(), QByteArrayList{"STATUS=No 3, stopped 1920 x 1080 at 25p"});
    copy.sending = true;
    face.StatusChanged();
    EXPECT_EQ(manager.Take(), QByteArrayList{"READY=1\nSTATUS=No 3, sending 1920 x 1080 at 25p"});
    face.StatusChanged();
    EXPECT_TRUE(manager.Take().isEmpty());
    copy.sending = false;
    copy.format = {1280, 720, 30000, 1001};
    face.StatusChanged();
    EXPECT_EQ(manager.Take(), QByteArrayList{"STATUS=No 3, stopped 1280 x 720 at 29.97p"});
}

TEST_F(NotifyFaceTest, WithoutStartItIsReadyOnceNumbered) {
    NotifyFace face(copy, false);
    copy.number = 8;
    copy.format.frameRateD = 1000;
    face.StatusChanged();
    EXPECT_EQ(manager.Take(), QByteArrayList{"READY=1\nSTATUS=No 8, stopped 1920 x 1080 at 30p"});
}

// The copy still believes it sends; only the frames count shows the thread has stopped.
TEST_F(NotifyFaceTest, WatchdogIsPingedOnlyWhileFramesLeaveTheSendingThread) {
    NotifyFace face(copy, false);
    EXPECT_TRUE(face.WatchdogTimer().isActive());
    EXPECT_EQ(face.WatchdogTimer().interval(), 2000);
    face.WatchdogTick();
    EXPECT_EQ(manager.Take(), QByteArrayList{"WATCHDOG=1"});
    copy.number = 1;
    copy.sending = true;
    copy.frames = 40;
    face.WatchdogTick();
    EXPECT_EQ(manager.Take(), QByteArrayList{"WATCHDOG=1"});
    face.WatchdogTick();
    face.WatchdogTick();
    EXPECT_TRUE(manager.Take().isEmpty());
    copy.frames = 41;
    face.WatchdogTick();
    EXPECT_EQ(manager.Take(), QByteArrayList{"WATCHDOG=1"});
    copy.sending = false;
    face.WatchdogTick();
    EXPECT_EQ(manager.Take(), QByteArrayList{"WATCHDOG=1"});
}

TEST_F(NotifyFaceTest, StoppingIsSaidOnceAtTheExitAndThenNothingMore) {
    NotifyFace signalled(copy, false);
    signalled.StopWaiting();
    EXPECT_EQ(manager.Take(), QByteArrayList{"STOPPING=1\nSTATUS=stopping"});
    EXPECT_FALSE(signalled.WatchdogTimer().isActive());
    copy.number = 2;
    copy.ended = true;
    signalled.StatusChanged();
    signalled.WatchdogTick();
    EXPECT_TRUE(manager.Take().isEmpty());

    // An exit the user confirmed is seen only once the copy has ended.
    NotifyFace confirmed(copy, false);
    confirmed.StatusChanged();
    EXPECT_EQ(manager.Take(), QByteArrayList{"STOPPING=1\nSTATUS=stopping"});
}

} // namespace
