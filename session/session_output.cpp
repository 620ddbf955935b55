// The output: its format, starting and stopping, and the copy number it is published
// under.

#include "logging/event_log.h"
#include "session/copy_session.h"
#include "session/output_line.h"
#include "session/session_command.h"
#include "vocabulary/output_formats.h"

#include <cerrno>
#include <cstring>

// Changes from another program wait for the copy's number: a sender made before it
// would publish under a number this copy may not get.
CommandReply CopySession::ProgramRefusal() const {
    if (m_ended || m_shuttingDown || !m_output) {
        return CommandReply::Refuse(CommandReply::Refusal::NotReady,
                                    QStringLiteral("This copy is ending"));
    }
    if (CopyNumber() == 0) {
        return CommandReply::Refuse(CommandReply::Refusal::NotReady,
                                    QStringLiteral("This copy has no number yet"));
    }
    return CommandReply::Done();
}

CommandReply CopySession::StartSending(Caller caller) {
    if (caller == Caller::Program) {
        if (CommandReply refusal = ProgramRefusal(); refusal.Refused()) {
            return refusal;
        }
    }
    if (!m_output) {
        return CommandReply::Refuse(CommandReply::Refusal::NotReady,
                                    QStringLiteral("This copy is ending"));
    }
    const Command command(*this);
    const bool wasSending = Sending();
    // Refused while there is no sender (before the number is settled, or after a
    // failed creation): nothing is sent and the controls stay as they are.
    m_output->StartSending();
    if (!wasSending && Sending()) {
        Log(LogLevel::Notice, "sending started, " + FormatSummary(m_format) + ", " + FourCCText());
    }
    if (!Sending()) {
        return CommandReply::Refuse(
            CommandReply::Refusal::Failed,
            QStringLiteral("Sending could not start: %1 has no NDI source").arg(SourceName()));
    }
    return CommandReply::Done();
}

CommandReply CopySession::StopSending(Caller /*caller*/) {
    if (!m_output || m_ended) {
        return CommandReply::Refuse(CommandReply::Refusal::NotReady,
                                    QStringLiteral("This copy is ending"));
    }
    const Command command(*this);
    const bool wasSending = Sending();
    m_output->StopSending();
    if (wasSending) {
        Log(LogLevel::Notice, "sending stopped, " + FormatSummary(m_format));
    }
    // A mask write the thread did not get to is done here, now that it has ended.
    m_generator.Composer().ApplyPendingAlpha(m_format.width, m_format.height);
    return CommandReply::Done();
}

void CopySession::ChooseSize(int item) {
    const Command command(*this);
    if (IsTakenSizeItem(item)) {
        m_format.width = kOutputSizes[item].width;
        m_format.height = kOutputSizes[item].height;
        m_sizeChosen = true;
    }
    ReconfigureOutput();
}

void CopySession::ChooseRate(int item) {
    const Command command(*this);
    if (item >= 0 && item < static_cast<int>(std::size(kFrameRates))) {
        m_format.frameRateN = kFrameRateNumerator;
        m_format.frameRateD = kFrameRates[item].denominator;
        m_rateChosen = true;
    }
    ReconfigureOutput();
}

CommandReply CopySession::SetOutput(int32_t width, int32_t height, const QString& rate,
                                    Caller caller) {
    const int size = OutputSizeItem(width, height);
    if (!IsTakenSizeItem(size)) {
        return CommandReply::Refuse(CommandReply::Refusal::InvalidArgs,
                                    QStringLiteral("%1x%2 is not an output size: %3")
                                        .arg(width)
                                        .arg(height)
                                        .arg(QString::fromStdString(TakenSizeList())));
    }
    // No rate's name is near this long; a longer one is not copied, only refused.
    constexpr qsizetype kLongestRate = 16;
    const int rateItem = rate.size() <= kLongestRate ? FrameRateItemNamed(rate.toStdString()) : -1;
    if (rateItem < 0) {
        return CommandReply::Refuse(
            CommandReply::Refusal::InvalidArgs,
            QStringLiteral("\"%1\" is not a frame rate: %2")
                .arg(QuotedArgument(rate), QString::fromStdString(RateList())));
    }
    if (caller == Caller::Program) {
        if (CommandReply refusal = ProgramRefusal(); refusal.Refused()) {
            return refusal;
        }
    }
    // The menus are greyed while sending.
    if (Sending()) {
        return CommandReply::Refuse(
            CommandReply::Refusal::Sending,
            QStringLiteral("The output format cannot change while sending; stop first"));
    }
    const Command command(*this);
    m_format.width = width;
    m_format.height = height;
    m_format.frameRateN = kFrameRateNumerator;
    m_format.frameRateD = kFrameRates[rateItem].denominator;
    m_sizeChosen = true;
    m_rateChosen = true;
    // A failure goes back to the caller, not to the faces; the user still hears of the
    // next one of their own.
    QStringList held;
    m_heldMessages = caller == Caller::Program ? &held : nullptr;
    ReconfigureOutput();
    m_heldMessages = nullptr;
    if (!m_output || !m_output->HasSender()) {
        return CommandReply::Refuse(
            CommandReply::Refusal::Failed,
            QStringLiteral("The NDI source could not be published in the new format"));
    }
    return CommandReply::Done();
}

CommandReply CopySession::SetPixelFormat(const QString& name, Caller caller) {
    // No name is near this long; a longer one is not copied, only refused.
    constexpr qsizetype kLongestName = 16;
    const int item = name.size() <= kLongestName ? PixelFormatNamed(name.toStdString()) : -1;
    if (item < 0) {
        return CommandReply::Refuse(
            CommandReply::Refusal::InvalidArgs,
            QStringLiteral("\"%1\" is not a pixel format: bgrx or uyvy").arg(QuotedArgument(name)));
    }
    if (caller == Caller::Program) {
        if (CommandReply refusal = ProgramRefusal(); refusal.Refused()) {
            return refusal;
        }
    }
    const Command command(*this);
    const bool uyvy = item == kUyvyPixelFormat;
    if (uyvy != m_uyvy) {
        m_uyvy = uyvy;
        if (m_output) {
            m_output->SetUyvy(uyvy);
            m_output->MarkFrameDirty();
        }
        Log(LogLevel::Info,
            std::string("pixel format ") + (uyvy ? "uyvy" : "bgrx") + ", sending " + FourCCText());
    }
    return CommandReply::Done();
}

const char* CopySession::FourCCText() const {
    switch (m_output ? m_output->Pixels() : OutputPixelsFor(Settings().useMask, m_uyvy)) {
    case OutputPixels::Bgra:
        return "BGRA";
    case OutputPixels::Uyvy:
        return "UYVY";
    case OutputPixels::Bgrx:
        break;
    }
    return "BGRX";
}

void CopySession::ReconfigureOutput() {
    if (!m_output) {
        return;
    }
    Changed();
    if (IsValidOutputFormat(m_format)) {
        m_outputLine = OutputLineText(m_format);
    }
    const bool configured =
        m_output->Reconfigure(m_format, m_numbering.m_instanceNumber, Settings().useMask);
    if (configured && m_output->HasSender()) {
        if (const std::string format = FormatSummary(m_format); format != m_loggedFormat) {
            Log(LogLevel::Info, "output format " + format);
            m_loggedFormat = format;
        }
    }
    if (configured && !m_output->HasSender()) {
        ReportSenderFailure();
    } else if (m_output->HasSender()) {
        m_senderFailureReported = false;
    }
    // The re-configure wrote the alpha afresh; an older request is void.
    m_generator.Composer().DropPendingAlpha();
}

// Said once per failure: Start and remote starts are then refused without a word, so
// nobody is left guessing why the source never appears. A failure held for another
// program is its alone.
void CopySession::ReportSenderFailure() {
    if (m_senderFailureReported) {
        return;
    }
    m_senderFailureReported = m_heldMessages == nullptr;
    // The stand-in says why through errno; the vendor's runtime makes no such promise.
    const int error =
        m_environment.runtime.origin == NdiRuntimeOrigin::StandIn ? m_output->CreateError() : 0;
    QString why;
    if (error == EEXIST) {
        why = QStringLiteral("another sender on this machine already uses that name");
    } else if (error != 0) {
        why = QString::fromLocal8Bit(std::strerror(error));
    } else {
        why = QStringLiteral("the NDI runtime refused to create its sender");
    }
    Tell(QStringLiteral("Skyfill"),
         QStringLiteral("Cannot publish the NDI source \"%1\": %2.").arg(SourceName(), why),
         SessionMessage::Kind::Error);
}

// BGRA with the mask, BGRX without.
void CopySession::SetOutputAlphaType() {
    if (m_output) {
        m_output->SetOutputAlphaType(Settings().useMask);
    }
    Changed();
}

bool CopySession::MarkDirtyIfSending() {
    if (!Sending()) {
        return false;
    }
    m_output->MarkFrameDirty();
    return true;
}

void CopySession::SettleNumber() {
    // Before anything that may wait on a question, so the timer cannot fire again.
    m_settleTimer.stop();
    if (!m_numbering.m_instanceNumberPending || m_shuttingDown) {
        return;
    }
    const Command command(*this);
    CopyLink* link = m_environment.link;
    Settlement settlement;
    if (link != nullptr && link->IsConnected()) {
        // A name the bus would not grant or refuse is taken: taking it without owning
        // it could give two copies one number.
        bool busAnswered = false;
        settlement = SettleInstanceNumber(m_numbering, [link, &busAnswered](int32_t n) {
            const CopyLink::Claim claim = link->ClaimCopyNumber(n);
            busAnswered = busAnswered || claim != CopyLink::Claim::Failed;
            return claim == CopyLink::Claim::Granted;
        });
        if (!busAnswered) {
            // The bus cannot arbitrate at all: go by the other copies' answers.
            m_numbering.m_instanceNumberPending = true;
            settlement = SettleInstanceNumber(m_numbering);
        }
        m_numberHeldOnBus = busAnswered;
    } else {
        settlement = SettleInstanceNumber(m_numbering);
    }
    switch (settlement.kind) {
    case Settlement::Kind::NotPending:
        break;
    case Settlement::Kind::TooManyCopies:
        Log(LogLevel::Error, "all eight copy numbers are taken; this copy publishes nothing");
        Exit(ExitReason::NoNumber);
        m_endedWithoutNumber = m_ended;
        break;
    case Settlement::Kind::Settled:
        m_numberSettled = true;
        ReconfigureOutput();
        // Said once the source exists, so whoever reads it can find the source.
        Log(LogLevel::Notice,
            (m_output && m_output->HasSender()
                 ? QStringLiteral("copy No %1 publishes \"%2\"").arg(CopyNumber()).arg(SourceName())
                 : QStringLiteral("copy No %1 publishes nothing: its source could not be made")
                       .arg(CopyNumber()))
                .toStdString());
        if (m_environment.start.startSending) {
            StartSending();
        }
        break;
    }
}

void CopySession::OnPost(int32_t command, int64_t argument) {
    // Not even while the exit waits on a question: a remote start would restart sending.
    if (m_ended || m_shuttingDown) {
        return;
    }
    const PostReaction reaction = HandleBusPost(m_numbering, command, argument);
    switch (reaction.kind) {
    case PostReaction::Kind::None:
        break;
    case PostReaction::Kind::StartSending:
        Log(LogLevel::Debug, "bus: another program asked every copy to start");
        StartSending();
        break;
    case PostReaction::Kind::StopSending:
        Log(LogLevel::Debug, "bus: another program asked every copy to stop");
        StopSending();
        break;
    case PostReaction::Kind::PostAnswer:
        if (m_environment.link != nullptr) {
            m_environment.link->Post(static_cast<int32_t>(BusCommand::Answer), reaction.answer);
        }
        break;
    }
}
