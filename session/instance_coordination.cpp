#include "session/instance_coordination.h"

#include <algorithm>
#include <iterator>

void AnnounceInstance(CopyNumbering& state, uint32_t processId) {
    state.m_instanceNumber = 0;
    std::fill(std::begin(state.m_instanceInUse), std::end(state.m_instanceInUse), false);
    state.m_processId = processId;
    state.m_instanceNumberPending = true;
}

PostReaction HandleBusPost(CopyNumbering& state, int32_t command, int64_t argument) {
    PostReaction reaction;
    switch (static_cast<BusCommand>(command)) {
    case BusCommand::StartStop:
        if (state.m_obeyRemoteStartStop && (argument == 0 || argument == 1)) {
            reaction.kind =
                argument == 1 ? PostReaction::Kind::StartSending : PostReaction::Kind::StopSending;
        }
        break;
    case BusCommand::Announce:
        if (argument != static_cast<int64_t>(state.m_processId)) {
            reaction.kind = PostReaction::Kind::PostAnswer;
            reaction.answer = state.m_instanceNumber;
        }
        break;
    case BusCommand::Answer:
        if (argument >= 0 && argument < static_cast<int64_t>(std::size(state.m_instanceInUse))) {
            state.m_instanceInUse[argument] = true;
        }
        break;
    }
    return reaction;
}

Settlement SettleInstanceNumber(CopyNumbering& state, const std::function<bool(int32_t)>& claim) {
    Settlement settlement;
    if (!state.m_instanceNumberPending) {
        return settlement;
    }
    state.m_instanceNumberPending = false;
    state.m_instanceNumber = 0;
    int32_t n = 0;
    while (n < kMaxInstances && !claim(n)) {
        ++n;
    }
    // Every number from 0 to 7 is taken: there is no ninth source.
    if (n >= kMaxInstances) {
        settlement.kind = Settlement::Kind::TooManyCopies;
        return settlement;
    }
    state.m_instanceNumber = n;
    settlement.kind = Settlement::Kind::Settled;
    settlement.instanceNumber = n;
    return settlement;
}

Settlement SettleInstanceNumber(CopyNumbering& state) {
    return SettleInstanceNumber(state, [&state](int32_t n) { return !state.m_instanceInUse[n]; });
}
