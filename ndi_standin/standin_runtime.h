#pragma once

#include "ndi/ndi_runtime_api.h"
#include "ndi_standin/frame_clock.h"

// The built-in stand-in for the NDI runtime, used when no vendor runtime loads. It
// sends nothing over the network: each sender publishes its source in a shared-memory
// segment (see ndi_standin/standin_segment.h) that skyfill-monitor and the tests read.
//
// - send_video_v2 copies the frame before it returns; with clock_video it first holds
//   the caller until the frame's slot (see ndi_standin/frame_clock.h). Frames that are
//   not 4-byte BGRA/BGRX, have no data, a stride shorter than a row, or do not fit the
//   segment are paced but not published.
// - Null or unknown sender handles are ignored by every call. As with the vendor
//   runtime, a sender must not be destroyed while another call on it is under way.
// - Each user's sources are their own (see ndi_standin/standin_segment.h). A name that
//   a live sender of the same user already uses is refused: create returns null with
//   errno EEXIST. A segment the user left behind in a process that has ended is removed
//   and reused; anything else squatting the name is stepped around.
// - Connection metadata is appended to the source's metadata text; an item that does
//   not fit in what is left of its 4096 bytes is dropped whole.
// - NDIlib_destroy does not touch live senders; their handles stay valid until
//   NDIlib_send_destroy.
namespace standin {

NdiRuntimeApi Api();

// Senders created after this call pace and stamp their frames with `timer`, or with
// MonotonicTimer() when it is null (the start-up state). The timer must outlive them.
void UsePacingTimer(PacingTimer* timer);

// What NDIlib_version returns; its last word is the version.
inline constexpr const char* kVersionText =
    "Skyfill built-in NDI stand-in runtime, no network output, read with skyfill-monitor 1.0";

} // namespace standin
