// The session's life: faces, start-up, the timers and the exit step.

#include "session/copy_session.h"

#include "engine/settings_edits.h"
#include "logging/event_log.h"
#include "resources/pictures.h"
#include "session/session_command.h"
#include "vocabulary/output_formats.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

// Timer 1: the copy number settles this long after start-up, once other copies had
// time to answer the announcement.
constexpr int kSettleDelayMs = 100;
// Timers 3 and 4: the start-up logo ends after the first interval for draws from
// kEarlyLogoEndDraw on, and otherwise after the second, 65,371 ms plus a random
// number of 503 ms steps.
constexpr int kLogoFirstIntervalMs = 23853;
constexpr int kLogoLateBaseMs = 65371;
constexpr int kLogoLateStepMs = 503;
constexpr int kLogoLateSteps = 467;
constexpr int32_t kEarlyLogoEndDraw = 5;
// Start-up draws 8 and 9 send the support picture as the logo.
constexpr int32_t kSupportLogoDraws[] = {8, 9};
constexpr int32_t kStartupDraws = 10;

} // namespace

CopySession::CopySession(SessionEnvironment environment)
    : m_environment(std::move(environment)), m_format{kOutputSizes[kDefaultSizeItem].width,
                                                      kOutputSizes[kDefaultSizeItem].height,
                                                      kFrameRateNumerator,
                                                      kFrameRates[kDefaultRateItem].denominator} {
    SetUpTimers();
    if (m_environment.link != nullptr) {
        m_environment.link->SetPostHandler(
            [this](int32_t command, int64_t argument) { OnPost(command, argument); });
    }
}

CopySession::~CopySession() {
    if (m_environment.link != nullptr) {
        m_environment.link->SetPostHandler({});
    }
    // Only what was set up is released: the thread and sender with the output, then
    // the runtime, which may never have run.
    m_output.reset();
    if (m_runtimeInitialised && !m_ended) {
        m_environment.runtime.api.destroy();
    }
}

void CopySession::AttachFace(SessionFace& face) {
    m_faces.push_back(&face);
}

void CopySession::DetachFace(SessionFace& face) {
    m_faces.erase(std::remove(m_faces.begin(), m_faces.end(), &face), m_faces.end());
}

void CopySession::SetFrameViewer(FrameViewer* viewer) {
    m_generator.Composer().SetViewer(viewer);
}

void CopySession::Changed() {
    m_changed = true;
}

void CopySession::Tell(const QString& caption, const QString& text, SessionMessage::Kind kind) {
    if (m_heldMessages != nullptr) {
        m_heldMessages->append(text);
        return;
    }
    // A message box is gone once closed, and a service has none: the log keeps it.
    LogLevel level = LogLevel::Info;
    if (kind == SessionMessage::Kind::Error) {
        level = LogLevel::Error;
    } else if (kind == SessionMessage::Kind::Warning) {
        level = LogLevel::Warning;
    }
    Log(level, (caption + QStringLiteral(": ") + text).toStdString());
    const SessionMessage message{caption, text, kind};
    for (SessionFace* face : std::vector<SessionFace*>(m_faces)) {
        face->ShowMessage(message);
    }
}

bool CopySession::AskFaces(const SessionQuestion& question) {
    for (SessionFace* face : std::vector<SessionFace*>(m_faces)) {
        if (const std::optional<bool> answer = face->Ask(question)) {
            return *answer;
        }
    }
    Log(LogLevel::Info,
        QStringLiteral("%1: %2 - %3 (nobody to ask)")
            .arg(question.caption, question.text,
                 question.unattendedAnswer ? QStringLiteral("yes") : QStringLiteral("no"))
            .toStdString());
    return question.unattendedAnswer;
}

bool CopySession::Start() {
    const Command command(*this);
    // Chosen as from the menus while there is no output yet, so nothing re-configures
    // before the number settles and the first frame already has this format.
    if (m_environment.start.sizeItem >= 0) {
        ChooseSize(m_environment.start.sizeItem);
    }
    if (m_environment.start.rateItem >= 0) {
        ChooseRate(m_environment.start.rateItem);
    }
    if (!m_environment.runtime.api.initialize()) {
        Tell(QStringLiteral("Skyfill"), QStringLiteral("Cannot run NDI - for some reason."),
             SessionMessage::Kind::Error);
        return false;
    }
    m_runtimeInitialised = true;
    m_output = std::make_unique<NdiOutput>(
        m_environment.runtime.api, m_generator.Composer().FrameStore(), m_outputLink, m_outputLink);
    m_output->SetUyvyStore(m_generator.Composer().UyvyStore());
    m_uyvy = m_environment.start.uyvy;
    m_output->SetUyvy(m_uyvy);
    LoadPictures();
    LoadStartupPresets();
    // At start-up the cloud set's number is shown even with clouds off.
    m_statusLine = QString::fromStdString(::StatusLine(Settings(), true));

    AnnounceInstance(m_numbering, m_environment.processId);
    m_numbering.m_obeyRemoteStartStop = true;
    if (m_environment.link != nullptr) {
        m_environment.link->Post(static_cast<int32_t>(BusCommand::Announce),
                                 m_numbering.m_processId);
    }
    m_settleTimer.start();
    m_rotationTimer.start(Settings().rotationPeriodMs);
    GeneratorSettings settings = Settings();
    settings.logoOn = true;
    Apply(settings);
    m_logoTimer.start();
    m_startupDraw = DrawStartupNumber();
    if (std::find(std::begin(kSupportLogoDraws), std::end(kSupportLogoDraws), m_startupDraw) !=
        std::end(kSupportLogoDraws)) {
        // The output shows the support picture as its logo; the picture box keeps the logo.
        ImageBuffer& logo = m_generator.Composer().Logo();
        if (LoadResourceBitmap(logo, picture::kSupport)) {
            logo.SetOpaque();
        }
    }
    return true;
}

int32_t CopySession::DrawStartupNumber() {
    if (m_environment.startupDraw >= 0) {
        return m_environment.startupDraw % kStartupDraws;
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return std::rand() % kStartupDraws;
}

void CopySession::SetUpTimers() {
    for (QTimer* timer : {&m_settleTimer, &m_rotationTimer, &m_logoTimer, &m_logoLateTimer}) {
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleDelayMs);
    m_logoTimer.setSingleShot(true);
    m_logoTimer.setInterval(kLogoFirstIntervalMs);
    m_logoLateTimer.setSingleShot(true);
    m_settleTimer.callOnTimeout([this] { SettleNumber(); });
    m_rotationTimer.callOnTimeout([this] { RotationTick(); });
    m_logoTimer.callOnTimeout([this] { LogoTick(); });
    m_logoLateTimer.callOnTimeout([this] { LogoLateTick(); });
}

void CopySession::RotationTick() {
    if (!Sending()) {
        return;
    }
    const Command command(*this, Command::Quiet);
    if (m_generator.StepRotation(m_shownColours)) {
        Changed();
    }
    m_output->MarkFrameDirty();
}

void CopySession::LogoTick() {
    m_logoTimer.stop();
    if (m_startupDraw >= kEarlyLogoEndDraw) {
        EndLogo();
    } else {
        m_logoLateTimer.start(kLogoLateBaseMs + kLogoLateStepMs * (std::rand() % kLogoLateSteps));
    }
}

void CopySession::LogoLateTick() {
    m_logoLateTimer.stop();
    EndLogo();
}

void CopySession::EndLogo() {
    GeneratorSettings settings = Settings();
    settings.logoOn = false;
    Apply(settings);
    // Writing the mask again removes the logo's trace from the alpha channel.
    if (settings.useMask && m_output) {
        m_generator.Composer().WriteAlpha(m_format.width, m_format.height, settings, Sending());
        MarkDirtyIfSending();
    }
}

void CopySession::Exit(ExitReason reason) {
    if (m_ended || m_shuttingDown) {
        return;
    }
    const Command command(*this);
    const bool ok = AskFaces({QStringLiteral("Quit Skyfill"), QStringLiteral("OK to exit?"), true});
    // A termination signal may have ended the copy while the question was open.
    if (!ok || m_shuttingDown) {
        return;
    }
    ShutDown(reason == ExitReason::NoNumber ? "all eight copy numbers are taken"
                                            : "the user chose Exit");
}

void CopySession::ShutDownNow(const std::string& reason) {
    const Command command(*this);
    // Anything open would hold the exit up, and nobody may be there to answer it.
    for (SessionFace* face : std::vector<SessionFace*>(m_faces)) {
        face->StopWaiting();
    }
    if (!m_shuttingDown) {
        ShutDown(reason);
    }
}

void CopySession::ShutDown(const std::string& reason) {
    m_shuttingDown = true;
    Log(LogLevel::Notice, "exiting: " + reason);
    // No settlement, rotation or logo step may run in a nested loop of the steps below.
    for (QTimer* timer : {&m_settleTimer, &m_rotationTimer, &m_logoTimer, &m_logoLateTimer}) {
        timer->stop();
    }
    if (m_output) {
        StopSending();
        // Only a copy that started up fully and got its number has presets worth keeping;
        // one turned away would overwrite those of a copy that ran.
        if (m_numberSettled) {
            SaveLastPresets();
        }
    }
    // The output owns the sender and the frame store; dropping it destroys the sender
    // before its store is freed.
    m_output.reset();
    if (m_runtimeInitialised) {
        m_environment.runtime.api.destroy();
    }
    // Only now, with the sender gone, may a newcomer take this copy's number.
    if (m_environment.link != nullptr) {
        m_environment.link->ReleaseCopyNumber();
    }
    m_ended = true;
    Changed();
}

PreviewMode CopySession::Preview() const {
    if (Settings().previewEveryFrame) {
        return PreviewMode::EveryFrame;
    }
    return m_generator.Composer().PreviewOnce() ? PreviewMode::Once : PreviewMode::Off;
}

SendingControls CopySession::Controls() const {
    const bool sending = Sending();
    return {.start = !sending, .stop = sending, .format = !sending};
}

int32_t CopySession::CopyNumber() const {
    if (!m_numberSettled || !m_output) {
        return 0;
    }
    // A number the bus granted is this copy's only while it holds the name.
    if (m_numberHeldOnBus && !m_environment.link->HoldsCopyNumber()) {
        return 0;
    }
    return m_numbering.m_instanceNumber + 1;
}

QString CopySession::SourceName() const {
    char name[kSourceNameBytes];
    FormatSourceName(m_numbering.m_instanceNumber, name);
    return QString::fromUtf8(name);
}

QString CopySession::RuntimeVersion() const {
    const char* version = m_runtimeInitialised ? m_environment.runtime.api.version() : nullptr;
    return version != nullptr ? QString::fromUtf8(version) : QString();
}
