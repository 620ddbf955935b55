#pragma once

#include "app/generator_state.h"

#include <cstdint>
#include <functional>

// How running copies agree on their numbers, and how other programs start and stop
// them: the rules on the window's members, apart from the transport.

enum class BusCommand : int32_t { StartStop = 1, Announce = 2, Answer = 3 };

struct PostReaction {
    enum class Kind { None, StartSending, StopSending, PostAnswer } kind = Kind::None;
    int64_t answer = 0; // the number to post with an Answer
};

// At most this many copies get a number and publish a source.
constexpr int32_t kMaxInstances = 8;

// Start-up: forget what other copies said, take no number yet.
void AnnounceInstance(GeneratorState& state, uint32_t processId);

// One coordination message, whoever sent it. Anything unknown or out of range is
// ignored.
PostReaction HandleBusPost(GeneratorState& state, int32_t command, int64_t argument);

struct Settlement {
    enum class Kind { NotPending, TooManyCopies, Settled } kind = Kind::NotPending;
    int32_t instanceNumber = 0;
};

// The lowest number from 0 to 7 that `claim` grants; they are tried in order. The
// arbiter is the bus: answers from other copies cannot settle newcomers that start
// together, and anyone may post them.
Settlement SettleInstanceNumber(GeneratorState& state, const std::function<bool(int32_t)>& claim);
// Without an arbiter: the lowest number no other copy has answered with.
Settlement SettleInstanceNumber(GeneratorState& state);
