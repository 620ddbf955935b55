#pragma once

#include "vocabulary/bus_names.h"

#include <cstdint>
#include <functional>

// How running copies agree on their numbers, and how other programs start and stop
// them: the rules, apart from the transport.

enum class BusCommand : int32_t { StartStop = 1, Announce = 2, Answer = 3 };

struct PostReaction {
    enum class Kind { None, StartSending, StopSending, PostAnswer } kind = Kind::None;
    int64_t answer = 0; // the number to post with an Answer
};

inline constexpr int32_t kMaxInstances = bus_names::kMaxCopies;

// What this copy knows of the numbers running copies use.
struct CopyNumbering {
    int32_t m_instanceNumber = 0; // 0-based; the source is "Kova Gradient <n + 1>"
    bool m_instanceNumberPending = false;
    // Numbers other copies have answered with (anyone may post them, so 32 are kept).
    bool m_instanceInUse[32]{};
    uint32_t m_processId = 0;
    bool m_obeyRemoteStartStop = false;
};

// Start-up: forget what other copies said, take no number yet.
void AnnounceInstance(CopyNumbering& state, uint32_t processId);

// One coordination message, whoever sent it. Anything unknown or out of range is
// ignored.
PostReaction HandleBusPost(CopyNumbering& state, int32_t command, int64_t argument);

struct Settlement {
    enum class Kind { NotPending, TooManyCopies, Settled } kind = Kind::NotPending;
    int32_t instanceNumber = 0;
};

// The lowest number from 0 to 7 that `claim` grants; they are tried in order. The
// arbiter is the bus: answers from other copies cannot settle newcomers that start
// together, and anyone may post them.
Settlement SettleInstanceNumber(CopyNumbering& state, const std::function<bool(int32_t)>& claim);
// Without an arbiter: the lowest number no other copy has answered with.
Settlement SettleInstanceNumber(CopyNumbering& state);
