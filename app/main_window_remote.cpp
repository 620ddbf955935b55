// The window's side of its own control interface on the bus: status and the calls
// that change this copy alone.

#include "app/bus_link.h"
#include "app/copy_control.h"
#include "app/main_window.h"
#include "app/menu_button.h"
#include "app/menu_tables.h"
#include "app/user_prompts.h"
#include "presets/preset_file.h"
#include "ui_main_window.h"

#include <QDir>
#include <QFileInfo>
#include <iterator>
#include <utility>

namespace {

// A preset file is 784 bytes at most; anything far larger is something else.
constexpr qint64 kLargestPresetFile = 64 * 1024;

const char* const kFillPatternNames[] = {"full", "h-split", "v-split", "quad"};
const char* const kRotationNames[] = {"static", "cw", "ccw"};

template <std::size_t N> QString NameOf(const char* const (&names)[N], int32_t index) {
    return index >= 0 && index < static_cast<int32_t>(N) ? QString::fromLatin1(names[index])
                                                         : QString::number(index);
}

// The rate menu's item for "25", "29.97" or "30", with or without the menu's "p".
int FrameRateItemNamed(QString rate) {
    if (rate.endsWith(u'p')) {
        rate.chop(1);
    }
    for (int i = 0; i < static_cast<int>(std::size(kFrameRateMenu)); ++i) {
        QString text = QString::fromLatin1(kFrameRateMenu[i].text);
        text.chop(1);
        if (rate == text) {
            return i;
        }
    }
    return -1;
}

// Keeps what a preset load would tell the user, so the caller hears it instead.
class HeldPrompts : public UserPrompts {
public:
    bool AskOkCancel(const QString& /*caption*/, const QString& /*text*/) override { return false; }
    void Tell(const QString& /*caption*/, const QString& text) override { told << text; }

    QStringList told;
};

} // namespace

void MainWindow::SetUpRemoteControl() {
    if (m_bus == nullptr) {
        return;
    }
    auto* holder = new CopyControlObject(this);
    m_control = new CopyControl(holder, *this);
    if (!m_bus->ExportAdaptors(holder)) {
        delete holder;
        m_control = nullptr;
        return;
    }
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(0);
    connect(&m_statusTimer, &QTimer::timeout, this, &MainWindow::AnnounceStatusChange);
    m_announcedStatus = RemoteStatus();
    m_announcedStatus.remove(QStringLiteral("frames-sent"));
}

void MainWindow::NoteStatusChange() {
    if (m_control != nullptr && !m_statusTimer.isActive()) {
        m_statusTimer.start();
    }
}

void MainWindow::AnnounceStatusChange() {
    QVariantMap status = RemoteStatus();
    QVariantMap compared = status;
    compared.remove(QStringLiteral("frames-sent"));
    if (compared != m_announcedStatus) {
        m_announcedStatus = std::move(compared);
        m_control->AnnounceStatus(status);
    }
}

QVariantMap MainWindow::RemoteStatus() const {
    const GeneratorSettings& settings = Settings();
    const bool numbered = m_bus != nullptr && m_bus->HoldsCopyNumber();
    QString sourceName;
    if (numbered) {
        char name[kSourceNameBytes];
        FormatSourceName(m_numbering.m_instanceNumber, name);
        sourceName = QString::fromUtf8(name);
    }
    const qulonglong framesSent = m_output ? m_output->FramesSent() : 0;
    return {
        {QStringLiteral("number"), numbered ? m_numbering.m_instanceNumber + 1 : 0},
        {QStringLiteral("source-name"), sourceName},
        {QStringLiteral("sending"), Sending()},
        {QStringLiteral("width"), m_format.width},
        {QStringLiteral("height"), m_format.height},
        {QStringLiteral("rate-numerator"), m_format.frameRateN},
        {QStringLiteral("rate-denominator"), m_format.frameRateD},
        {QStringLiteral("frames-sent"), framesSent},
        {QStringLiteral("fill-pattern"), NameOf(kFillPatternNames, settings.fillPattern)},
        {QStringLiteral("rotation"), NameOf(kRotationNames, settings.rotationMode)},
        {QStringLiteral("rotation-period-ms"), settings.rotationPeriodMs},
        {QStringLiteral("clouds"), settings.cloudsOn},
        {QStringLiteral("cloud-set"), settings.cloudSet + 1},
        {QStringLiteral("cloud-speed"), settings.cloudSpeed},
        {QStringLiteral("slot"), m_presets.m_presetSlot + 1},
        {QStringLiteral("mask"), settings.useMask},
        {QStringLiteral("mask-path"), MaskFilePath()},
    };
}

// Changes wait for the copy's number: a sender made before it would publish under a
// number this copy may not get.
ControlReply MainWindow::RemoteRefusal() const {
    if (m_ended || m_shuttingDown || !m_output) {
        return ControlReply::NotReady(QStringLiteral("This copy is ending"));
    }
    if (m_bus == nullptr || !m_bus->HoldsCopyNumber()) {
        return ControlReply::NotReady(QStringLiteral("This copy has no number yet"));
    }
    return ControlReply::Done();
}

ControlReply MainWindow::RemoteStart() {
    if (ControlReply refusal = RemoteRefusal(); refusal.Refused()) {
        return refusal;
    }
    OnStart();
    if (!Sending()) {
        return ControlReply::Failed(
            QStringLiteral("Sending could not start: %1 has no NDI source")
                .arg(RemoteStatus()[QStringLiteral("source-name")].toString()));
    }
    return ControlReply::Done();
}

ControlReply MainWindow::RemoteStop() {
    if (!m_output || m_ended) {
        return ControlReply::NotReady(QStringLiteral("This copy is ending"));
    }
    OnStop();
    return ControlReply::Done();
}

ControlReply MainWindow::RemoteSelectSlot(int32_t slot) {
    if (slot < 1 || slot > kPresetSlotCount) {
        return ControlReply::InvalidArgs(
            QStringLiteral("No preset slot %1: slots are 1 to %2").arg(slot).arg(kPresetSlotCount));
    }
    if (ControlReply refusal = RemoteRefusal(); refusal.Refused()) {
        return refusal;
    }
    OnPresetRadio(slot - 1);
    return ControlReply::Done();
}

ControlReply MainWindow::RemoteLoadPresets(const QString& path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
        return ControlReply::InvalidArgs(
            QStringLiteral("A preset file is given by its absolute path, not \"%1\"").arg(path));
    }
    if (ControlReply refusal = RemoteRefusal(); refusal.Refused()) {
        return refusal;
    }
    // Said here because the file's own reader treats all of these alike, without a word.
    const QFileInfo file(path);
    if (!file.exists()) {
        return ControlReply::File(QStringLiteral("%1: no such file").arg(path));
    }
    if (file.isDir()) {
        return ControlReply::File(QStringLiteral("%1: is a folder").arg(path));
    }
    if (!file.isFile()) {
        return ControlReply::File(QStringLiteral("%1: not a regular file").arg(path));
    }
    if (file.size() > kLargestPresetFile) {
        return ControlReply::File(QStringLiteral("%1: too large for a preset file").arg(path));
    }
    // The window's own load, with what it would tell the user held for the caller.
    HeldPrompts held;
    UserPrompts* const prompts = std::exchange(m_prompts, &held);
    const bool loaded = OnLoadPresetsFromFile(path);
    m_prompts = prompts;
    if (!loaded) {
        const QString why = held.told.isEmpty() ? QStringLiteral("cannot be read")
                                                : held.told.join(u' ').simplified();
        return ControlReply::File(QStringLiteral("%1: %2").arg(path, why));
    }
    QStringList warnings;
    for (const QString& told : held.told) {
        warnings << QStringLiteral("%1: %2").arg(path, told.simplified());
    }
    return ControlReply::DoneWithWarnings(warnings);
}

ControlReply MainWindow::RemoteSetOutput(int32_t width, int32_t height, const QString& rate) {
    const int size = ResolutionItemOf(width, height);
    if (size < 0 || !kResolutionMenu[size].taken) {
        return ControlReply::InvalidArgs(
            QStringLiteral("%1x%2 is not an output size: 1920x1080, 1280x720, 960x540, "
                           "720x576, 720x480 or 640x360")
                .arg(width)
                .arg(height));
    }
    const int rateItem = FrameRateItemNamed(rate);
    if (rateItem < 0) {
        return ControlReply::InvalidArgs(
            QStringLiteral("\"%1\" is not a frame rate: 25, 29.97 or 30").arg(rate));
    }
    if (ControlReply refusal = RemoteRefusal(); refusal.Refused()) {
        return refusal;
    }
    // The menus are greyed while sending.
    if (Sending()) {
        return ControlReply::Sending(
            QStringLiteral("The output format cannot change while sending; stop first"));
    }
    m_format.width = width;
    m_format.height = height;
    m_format.frameRateN = kFrameRateNumerator;
    m_format.frameRateD = kFrameRateMenu[rateItem].denominator;
    m_ui->m_resolutionButton->setText(m_ui->m_resolutionButton->ItemText(size));
    m_ui->m_frameRateButton->setText(m_ui->m_frameRateButton->ItemText(rateItem));
    // A failure goes back to the caller, not into a message box; the window still says
    // the next one of its own.
    m_senderFailureReported = true;
    ReconfigureOutput();
    if (!m_output->HasSender()) {
        m_senderFailureReported = false;
        return ControlReply::Failed(
            QStringLiteral("The NDI source could not be published in the new format"));
    }
    return ControlReply::Done();
}
