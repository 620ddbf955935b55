// The window's control handlers, the status line and preset application.

#include "app/colour_button.h"
#include "app/main_window.h"
#include "app/menu_button.h"
#include "app/menu_tables.h"
#include "engine/settings_edits.h"
#include "ui_main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>

namespace {

// A box set to show a value the program already holds: no user act, so no handler.
void ShowChecked(QAbstractButton* box, bool checked) {
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}

} // namespace

void MainWindow::OnResolutionChosen(int item) {
    if (item >= 0 && item < static_cast<int>(std::size(kResolutionMenu)) &&
        kResolutionMenu[item].taken) {
        m_ui->m_resolutionButton->setText(m_ui->m_resolutionButton->ItemText(item));
        m_format.width = kResolutionMenu[item].width;
        m_format.height = kResolutionMenu[item].height;
    }
    ReconfigureOutput();
}

void MainWindow::OnFrameRateChosen(int item) {
    if (item >= 0 && item < static_cast<int>(std::size(kFrameRateMenu))) {
        m_format.frameRateN = kFrameRateNumerator;
        m_format.frameRateD = kFrameRateMenu[item].denominator;
        m_ui->m_frameRateButton->setText(m_ui->m_frameRateButton->ItemText(item));
    }
    ReconfigureOutput();
}

void MainWindow::OnCloudSetChosen(int item) {
    if (item >= 0 && item < static_cast<int>(std::size(kCloudSetMenu))) {
        GeneratorSettings settings = Settings();
        settings.cloudSet = item;
        Apply(settings);
        m_ui->m_cloudSetButton->setText(QString::number(item + 1));
    }
    UpdateStatusLine();
}

void MainWindow::OnColourPicked(int corner, uint32_t buttonValue) {
    GeneratorSettings settings = Settings();
    SetCornerFromButton(settings, corner, buttonValue);
    Apply(settings);
    UpdateStatusLine();
}

void MainWindow::PullRadioGroups() {
    GeneratorSettings settings = Settings();
    if (m_rotationGroup->checkedId() >= 0) {
        settings.rotationMode = m_rotationGroup->checkedId();
    }
    if (m_fillGroup->checkedId() >= 0) {
        settings.fillPattern = m_fillGroup->checkedId();
    }
    if (m_presetGroup->checkedId() >= 0) {
        m_presets.m_presetSlot = m_presetGroup->checkedId();
    }
    settings.useMask = m_ui->m_useMaskCheck->isChecked();
    settings.invertTransparency = m_ui->m_invertCheck->isChecked();
    settings.useMaskAlpha = m_ui->m_useMaskAlphaCheck->isChecked();
    settings.revealAlpha = m_ui->m_revealAlphaCheck->isChecked();
    Apply(settings);
}

void MainWindow::OnRadioGroup() {
    PullRadioGroups();
    UpdateStatusLine();
}

void MainWindow::OnCloudCheck() {
    GeneratorSettings settings = Settings();
    settings.cloudsOn = m_ui->m_cloudCheck->isChecked();
    Apply(settings);
    UpdateStatusLine();
}

void MainWindow::OnPreviewCheck() {
    GeneratorSettings settings = Settings();
    settings.previewEveryFrame = m_ui->m_previewCheck->isChecked();
    Apply(settings);
    m_generator.Composer().SetPreviewOnce(false);
}

void MainWindow::OnRotationSlider() {
    GeneratorSettings settings = Settings();
    SetRotationSlider(settings, m_presets, m_ui->m_rotationSpeedSlider->value());
    Apply(settings);
    m_ui->m_periodLabel->setText(QStringLiteral("Period %1ms").arg(settings.rotationPeriodMs));
    m_rotationTimer.start(settings.rotationPeriodMs);
    NoteStatusChange();
}

void MainWindow::OnCloudSlider() {
    GeneratorSettings settings = Settings();
    SetCloudSlider(settings, m_presets, m_ui->m_cloudSpeedSlider->value());
    Apply(settings);
    m_ui->m_cloudSpeedLabel->setText(QStringLiteral("Cloud speed %1").arg(settings.cloudSpeed));
    NoteStatusChange();
}

void MainWindow::OnWindowCommand(WindowCommand command) {
    switch (command) {
    case WindowCommand::Help:
        OpenWebPage(kHelpPage);
        break;
    case WindowCommand::SaveDefaults:
        OnSaveDefaults();
        break;
    case WindowCommand::LoadPresets:
        OnLoadPresetsFromFile(
            QFileDialog::getOpenFileName(this, QStringLiteral("Load Presets file"), QString(),
                                         QStringLiteral("Preset Files (*.skf);;All Files (*.*)")));
        break;
    case WindowCommand::About:
        ShowAbout();
        break;
    }
}

void MainWindow::UpdateStatusLine() {
    NoteStatusChange();
    // With the preview off, the next rendered frame is shown once.
    if (!Settings().previewEveryFrame) {
        m_generator.Composer().SetPreviewOnce(true);
    }
    m_ui->m_statusLine->setText(QString::fromStdString(StatusLine(Settings())));
    if (Sending() || !m_output) {
        return;
    }
    m_generator.Composer().RenderStill(m_format.width, m_format.height);
}

void MainWindow::ShowColours(const ColourRecord (&colours)[4]) {
    for (int i = 0; i < 4; ++i) {
        m_colourButton[i]->SetColour(ToButtonValue(colours[i]));
    }
}

void MainWindow::ApplySlot(int32_t index) {
    if (index < 0 || index >= kPresetSlotCount) {
        return;
    }
    NoteStatusChange();
    const PresetSlot slot = m_presets.m_presetSlots[index];
    // Set before the buttons, so checking them shows a value held and is no user choice.
    Apply(WithSlot(Settings(), slot));
    ShowColours(Settings().baseColours);
    if (QAbstractButton* b = m_fillGroup->button(slot.fillPattern)) {
        b->setChecked(true);
    }
    if (QAbstractButton* b = m_rotationGroup->button(slot.rotationMode)) {
        b->setChecked(true);
    }
    ShowChecked(m_ui->m_cloudCheck, slot.cloudsOn != 0);
    m_ui->m_cloudSetButton->setText(QString::number(slot.cloudSet + 1));
    ShowChecked(m_ui->m_useMaskCheck, slot.useMask != 0);
    ShowChecked(m_ui->m_invertCheck, slot.invertTransparency != 0);
    ShowChecked(m_ui->m_useMaskAlphaCheck, slot.useMaskAlpha != 0);
    PullRadioGroups();
    ApplyMaskSettings();
    SetOutputAlphaType();
    GeneratorSettings settings = Settings();
    settings.previewEveryFrame = m_presets.m_presetPreviewMode == 2;
    Apply(settings);
    m_generator.Composer().SetPreviewOnce(m_presets.m_presetPreviewMode == 1);
    ShowChecked(m_ui->m_previewCheck, m_presets.m_presetPreviewMode != 0);

    // The slider handlers run on every redraw; a programmatic move must run them too.
    {
        const QSignalBlocker block(m_ui->m_rotationSpeedSlider);
        m_ui->m_rotationSpeedSlider->setValue(slot.rotationSliderPosition);
    }
    {
        const QSignalBlocker block(m_ui->m_cloudSpeedSlider);
        m_ui->m_cloudSpeedSlider->setValue(-slot.cloudSpeed);
    }
    OnCloudSlider();
    OnRotationSlider();
}
