// The output picture as a JPEG file for another program, sampled by the sending thread
// from its next frame while it sends, or here from the store while it does not.

#include "imageio/jpeg_encoder.h"
#include "render/frame_limits.h"
#include "session/copy_session.h"

namespace {

// Narrower is no picture to look at; wider than any frame is never made.
constexpr int32_t kNarrowestSnapshot = 16;
constexpr int32_t kWidestSnapshot = frame_limits::kMaxWidth;

} // namespace

CommandReply CopySession::RequestSnapshot(int32_t maxWidth) {
    if (maxWidth < kNarrowestSnapshot || maxWidth > kWidestSnapshot) {
        return CommandReply::Refuse(
            CommandReply::Refusal::InvalidArgs,
            QStringLiteral("No snapshot %1 pixels wide: snapshots are %2 to %3 wide")
                .arg(maxWidth)
                .arg(kNarrowestSnapshot)
                .arg(kWidestSnapshot));
    }
    if (CommandReply refusal = ProgramRefusal(); refusal.Refused()) {
        return refusal;
    }
    m_snapshotWidth = maxWidth;
    m_snapshotAsked = false;
    return CommandReply::Done();
}

std::optional<OutputSnapshot> CopySession::TakeSnapshot() {
    if (m_snapshotWidth == 0) {
        return OutputSnapshot{
            .reply = CommandReply::Refuse(CommandReply::Refusal::Failed,
                                          QStringLiteral("No snapshot was asked for"))};
    }
    if (CommandReply refusal = ProgramRefusal(); refusal.Refused()) {
        DropSnapshot();
        return OutputSnapshot{.reply = refusal};
    }
    FrameThumbnail& thumbnail = m_generator.Composer().Thumbnail();
    if (Sending()) {
        if (!m_snapshotAsked) {
            // False while the thread still samples one given up earlier; asked again on
            // the next poll. The frame is not marked dirty: one drawn for the snapshot
            // alone would move the clouds a step out of time, and the rotation timer has
            // a frame drawn at least every quarter second anyway.
            m_snapshotAsked = thumbnail.Request(m_snapshotWidth);
            return std::nullopt;
        }
        if (!thumbnail.Ready()) {
            return std::nullopt;
        }
    } else {
        // Never sent, or stopped meanwhile: the sending thread has ended, and the store
        // holds the picture.
        if (!thumbnail.Withdraw()) {
            return std::nullopt;
        }
        m_generator.Composer().SampleStore(m_format.width, m_format.height, m_snapshotWidth);
    }
    OutputSnapshot snapshot = EncodeThumbnail();
    DropSnapshot();
    return snapshot;
}

void CopySession::DropSnapshot() {
    m_snapshotWidth = 0;
    m_snapshotAsked = false;
    // One the sending thread still samples is dropped by the next request instead.
    m_generator.Composer().Thumbnail().Withdraw();
}

OutputSnapshot CopySession::EncodeThumbnail() const {
    const FrameThumbnail& thumbnail = m_generator.Composer().Thumbnail();
    const std::vector<uint8_t> jpeg =
        imageio::EncodeJpeg(thumbnail.Pixels(), thumbnail.Width(), thumbnail.Height());
    if (jpeg.empty()) {
        return {.reply = CommandReply::Refuse(
                    CommandReply::Refusal::Failed,
                    QStringLiteral("The snapshot could not be made into a JPEG"))};
    }
    return {CommandReply::Done(), thumbnail.Width(), thumbnail.Height(),
            QByteArray(reinterpret_cast<const char*>(jpeg.data()),
                       static_cast<qsizetype>(jpeg.size()))};
}
