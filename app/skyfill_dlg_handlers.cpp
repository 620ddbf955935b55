// The window's control handlers, the status line and preset application.

#include "app/colour_button.h"
#include "app/menu_button.h"
#include "app/skyfill_dlg.h"
#include "preview/vid_box.h"
#include "render/gradient.h"
#include "ui_skyfill_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>

namespace {

QString Word(std::string_view word) {
    return QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
}

// A box set to show a value the program already holds: no user act, so no handler.
void ShowChecked(QAbstractButton* box, bool checked) {
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}

} // namespace

void CSkyfillDlg::OnResolutionChosen(int commandId) {
    struct Size {
        int id, width, height;
    };
    // The three large sizes are offered but not taken.
    constexpr Size kSizes[] = {{32771, 1920, 1080}, {32772, 1280, 720}, {32773, 960, 540},
                               {32774, 720, 576},   {32775, 720, 480},  {32776, 640, 360}};
    for (const Size& size : kSizes) {
        if (size.id == commandId) {
            m_ui->m_resolutionButton->setText(m_ui->m_resolutionButton->ItemText(commandId));
            m_width = size.width;
            m_height = size.height;
        }
    }
    ReconfigureOutput();
}

void CSkyfillDlg::OnFrameRateChosen(int commandId) {
    int32_t denominator = 0;
    switch (commandId) {
    case 32777:
        denominator = 1200;
        break;
    case 32780:
        denominator = 1001;
        break;
    case 32778:
        denominator = 1000;
        break;
    default:
        break;
    }
    if (denominator != 0) {
        m_frameRateN = 30000;
        m_frameRateD = denominator;
        m_ui->m_frameRateButton->setText(m_ui->m_frameRateButton->ItemText(commandId));
    }
    ReconfigureOutput();
}

void CSkyfillDlg::OnCloudSetChosen(int commandId) {
    if (commandId == 32786 || commandId == 32787) {
        m_cloudSet = commandId == 32786 ? 0 : 1;
        m_ui->m_cloudSetButton->setText(QString::number(m_cloudSet + 1));
    }
    UpdateStatusLine();
}

void CSkyfillDlg::OnColourPicked(int corner, uint32_t buttonValue) {
    SetCornerFromButton(corner, buttonValue);
    UpdateStatusLine();
}

void CSkyfillDlg::PullRadioGroups() {
    if (m_rotationGroup->checkedId() >= 0) {
        m_rotationMode = m_rotationGroup->checkedId();
    }
    if (m_fillGroup->checkedId() >= 0) {
        m_fillPattern = m_fillGroup->checkedId();
    }
    if (m_presetGroup->checkedId() >= 0) {
        m_presetBlock.m_presetSlot = m_presetGroup->checkedId();
    }
    m_useMask = m_ui->m_useMaskCheck->isChecked() ? 1 : 0;
    m_invertTransparency = m_ui->m_invertCheck->isChecked() ? 1 : 0;
    m_useMaskAlpha = m_ui->m_useMaskAlphaCheck->isChecked() ? 1 : 0;
    m_revealAlpha = m_ui->m_revealAlphaCheck->isChecked() ? 1 : 0;
    PublishGradient();
}

void CSkyfillDlg::OnRadioGroup() {
    PullRadioGroups();
    UpdateStatusLine();
}

void CSkyfillDlg::OnCloudCheck() {
    m_cloudsOn = m_ui->m_cloudCheck->isChecked() ? 1 : 0;
    UpdateStatusLine();
}

void CSkyfillDlg::OnPreviewCheck() {
    m_previewMode = m_ui->m_previewCheck->isChecked() ? 2 : 0;
}

void CSkyfillDlg::OnRotationSlider() {
    SetRotationSliderPosition(m_ui->m_rotationSpeedSlider->value());
    KillTimer(kRotationTimer);
    m_ui->m_periodLabel->setText(QStringLiteral("Period %1ms").arg(m_rotationPeriodMs));
    SetTimer(kRotationTimer, m_rotationPeriodMs);
}

void CSkyfillDlg::OnCloudSlider() {
    SetCloudSliderPosition(m_ui->m_cloudSpeedSlider->value());
    m_ui->m_cloudSpeedLabel->setText(QStringLiteral("Cloud speed %1").arg(m_cloudSpeed.load()));
}

void CSkyfillDlg::OnSystemCommand(int command) {
    switch (command & 0xFFF0) {
    case kHelp:
        OpenWebPage(kHelpPage);
        break;
    case kSaveDefaults:
        OnSaveDefaults();
        break;
    case kLoadPresets:
        OnLoadPresetsFromFile(
            QFileDialog::getOpenFileName(this, QStringLiteral("Load Presets file"), QString(),
                                         QStringLiteral("Preset Files (*.skf);;All Files (*.*)")));
        break;
    case kAboutCommand:
        ShowAbout();
        break;
    default:
        break;
    }
}

void CSkyfillDlg::UpdateStatusLine() {
    int32_t off = 0;
    // Off means "show the next rendered frame once".
    m_previewMode.compare_exchange_strong(off, 1);
    const QString fill = Word(m_labelNames[5 + m_fillPattern]);
    const QString rotation = Word(m_labelNames[2 + m_rotationMode]);
    if (m_cloudsOn != 0) {
        m_ui->m_statusLine->setText(QStringLiteral("%1 - %2 - %3 %4")
                                        .arg(fill, rotation, Word(m_labelNames[1]))
                                        .arg(m_cloudSet + 1));
    } else {
        m_ui->m_statusLine->setText(
            QStringLiteral("%1 - %2 - %3").arg(fill, rotation, Word(m_labelNames[0])));
    }
    if (m_sending != 0 || !m_output) {
        return;
    }
    RenderStillPicture(m_output->FrameStore(), m_width, m_height);
    m_ui->m_preview->RefreshAlways(m_output->FrameStore(), m_width, m_height);
}

void CSkyfillDlg::ShowColours(const ColourRecord (&colours)[4]) {
    for (int i = 0; i < 4; ++i) {
        m_colourButton[i]->SetColour(ToButtonValue(colours[i]));
    }
}

void CSkyfillDlg::ApplySlot(int32_t index) {
    if (index < 0 || index >= kPresetSlotCount) {
        return;
    }
    const PresetSlot slot = m_presetBlock.m_presetSlots[index];
    for (int i = 0; i < 4; ++i) {
        m_baseColour[i] = slot.cornerColours[i];
        m_currentColour[i] = slot.cornerColours[i];
    }
    ShowColours(m_baseColour);
    // Set before the buttons, so checking them shows a value held and is no user choice.
    m_fillPattern = slot.fillPattern;
    m_rotationMode = slot.rotationMode;
    if (QAbstractButton* b = m_fillGroup->button(slot.fillPattern)) {
        b->setChecked(true);
    }
    if (QAbstractButton* b = m_rotationGroup->button(slot.rotationMode)) {
        b->setChecked(true);
    }
    m_cloudsOn = slot.cloudsOn;
    ShowChecked(m_ui->m_cloudCheck, slot.cloudsOn != 0);
    m_cloudSet = slot.cloudSet;
    m_ui->m_cloudSetButton->setText(QString::number(slot.cloudSet + 1));
    ShowChecked(m_ui->m_useMaskCheck, slot.useMask != 0);
    ShowChecked(m_ui->m_invertCheck, slot.invertTransparency != 0);
    ShowChecked(m_ui->m_useMaskAlphaCheck, slot.useMaskAlpha != 0);
    PullRadioGroups();
    ApplyMaskSettings();
    SetOutputAlphaType();
    m_previewMode = m_presetBlock.m_presetPreviewMode;
    ShowChecked(m_ui->m_previewCheck, m_previewMode != 0);

    // The slider handlers run on every redraw; a programmatic move must run them too.
    {
        const QSignalBlocker block(m_ui->m_rotationSpeedSlider);
        m_ui->m_rotationSpeedSlider->setValue(slot.rotationSliderPosition);
    }
    m_rotationPeriodMs = 260 - slot.rotationSliderPosition;
    {
        const QSignalBlocker block(m_ui->m_cloudSpeedSlider);
        m_ui->m_cloudSpeedSlider->setValue(-slot.cloudSpeed);
    }
    OnCloudSlider();
    OnRotationSlider();
}
