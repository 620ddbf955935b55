#include "session/instance_coordination.h"

#include <gtest/gtest.h>

namespace {

struct Copy {
    CopyNumbering state;
    explicit Copy(uint32_t pid) { AnnounceInstance(state, pid); }
    void Hear(int32_t command, int64_t argument) { HandleBusPost(state, command, argument); }
};

TEST(InstanceCoordination, FirstCopyTakesNumberZeroAndLaterOnesTheLowestFree) {
    Copy first(100);
    EXPECT_EQ(SettleInstanceNumber(first.state).instanceNumber, 0);
    EXPECT_EQ(first.state.m_instanceNumberPending, 0);

    Copy third(300);
    third.Hear(3, 0);
    third.Hear(3, 2);
    const Settlement s = SettleInstanceNumber(third.state);
    EXPECT_EQ(s.kind, Settlement::Kind::Settled);
    EXPECT_EQ(s.instanceNumber, 1);
    // Settling again changes nothing.
    EXPECT_EQ(SettleInstanceNumber(third.state).kind, Settlement::Kind::NotPending);
    EXPECT_EQ(third.state.m_instanceNumber, 1);
}

TEST(InstanceCoordination, AnswersOthersButNotItsOwnAnnouncement) {
    Copy copy(555);
    copy.state.m_instanceNumber = 3;
    EXPECT_EQ(HandleBusPost(copy.state, 2, 555).kind, PostReaction::Kind::None);
    const PostReaction answer = HandleBusPost(copy.state, 2, 777);
    EXPECT_EQ(answer.kind, PostReaction::Kind::PostAnswer);
    EXPECT_EQ(answer.answer, 3);
}

TEST(InstanceCoordination, NinthCopyFindsNoNumber) {
    Copy copy(9);
    for (int n = 0; n < 8; ++n) {
        copy.Hear(3, n);
    }
    EXPECT_EQ(SettleInstanceNumber(copy.state).kind, Settlement::Kind::TooManyCopies);
    EXPECT_EQ(copy.state.m_instanceNumber, 0);

    // Numbers above 7 answered as well must not hand out a ninth source name.
    Copy crowded(10);
    for (int n = 0; n < 12; ++n) {
        crowded.Hear(3, n);
    }
    EXPECT_EQ(SettleInstanceNumber(crowded.state).kind, Settlement::Kind::TooManyCopies);
}

TEST(InstanceCoordination, HostileOrUnknownMessagesAreIgnored) {
    Copy copy(1);
    const auto before = copy.state.m_instanceInUse[0];
    for (int64_t n : {int64_t{-1}, int64_t{32}, int64_t{1} << 40, INT64_MIN}) {
        EXPECT_EQ(HandleBusPost(copy.state, 3, n).kind, PostReaction::Kind::None);
    }
    for (int32_t command : {0, 4, -1, 1000}) {
        EXPECT_EQ(HandleBusPost(copy.state, command, 1).kind, PostReaction::Kind::None);
    }
    EXPECT_EQ(copy.state.m_instanceInUse[0], before);
    copy.Hear(3, 31);
    EXPECT_EQ(copy.state.m_instanceInUse[31], 1);
}

TEST(InstanceCoordination, RemoteStartStopOnlyOnceStartUpHasFinished) {
    Copy copy(1);
    EXPECT_EQ(HandleBusPost(copy.state, 1, 1).kind, PostReaction::Kind::None);
    copy.state.m_obeyRemoteStartStop = 1;
    EXPECT_EQ(HandleBusPost(copy.state, 1, 1).kind, PostReaction::Kind::StartSending);
    EXPECT_EQ(HandleBusPost(copy.state, 1, 0).kind, PostReaction::Kind::StopSending);
    EXPECT_EQ(HandleBusPost(copy.state, 1, 2).kind, PostReaction::Kind::None);
}

} // namespace
