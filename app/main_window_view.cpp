// The session's state as the window's controls show it.

#include "app/colour_button.h"
#include "app/main_window.h"
#include "app/menu_button.h"
#include "imageio/image_decoder.h"
#include "resources/pictures.h"
#include "session/copy_session.h"
#include "session/copy_title.h"
#include "ui_main_window.h"
#include "vocabulary/output_formats.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QSignalBlocker>
#include <utility>

namespace {

// A control set to show a value the session already holds: no user act, so no command.
void ShowChecked(QAbstractButton* box, bool checked) {
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}

void ShowValue(QSlider* slider, int value) {
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
}

// The session holds the value first, so checking its button is no user choice.
void ShowChoice(QButtonGroup* group, int id) {
    if (QAbstractButton* button = group->button(id); button != nullptr && !button->isChecked()) {
        button->setChecked(true);
    }
}

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void MainWindow::ShowState() {
    const GeneratorSettings& settings = m_session.Settings();
    const OutputFormat& format = m_session.Format();
    ColourButton* colours[] = {m_ui->m_colourButton0, m_ui->m_colourButton1, m_ui->m_colourButton2,
                               m_ui->m_colourButton3};
    for (int i = 0; i < 4; ++i) {
        colours[i]->SetColour(ToButtonValue(m_session.ShownColours()[i]));
    }
    ShowChoice(m_presetGroup, m_session.Presets().m_presetSlot);
    ShowChoice(m_fillGroup, settings.fillPattern);
    ShowChoice(m_rotationGroup, settings.rotationMode);
    ShowChecked(m_ui->m_cloudCheck, settings.cloudsOn);
    ShowChecked(m_ui->m_previewCheck, m_session.PreviewSwitch());
    ShowChecked(m_ui->m_useMaskCheck, settings.useMask);
    ShowChecked(m_ui->m_invertCheck, settings.invertTransparency);
    m_uyvyAction->setChecked(m_session.Uyvy());
    ShowChecked(m_ui->m_useMaskAlphaCheck, settings.useMaskAlpha);
    ShowChecked(m_ui->m_revealAlphaCheck, settings.revealAlpha);
    m_ui->m_cloudSetButton->setText(QString::number(settings.cloudSet + 1));
    ShowValue(m_ui->m_rotationSpeedSlider,
              RotationPeriodMs(settings.rotationPeriodMs)); // the period's own inverse
    ShowValue(m_ui->m_cloudSpeedSlider, settings.cloudSpeed);
    m_ui->m_periodLabel->setText(QStringLiteral("Period %1ms").arg(settings.rotationPeriodMs));
    m_ui->m_cloudSpeedLabel->setText(QStringLiteral("Cloud speed %1").arg(settings.cloudSpeed));
    m_ui->m_statusLine->setText(m_session.StatusLine());

    // The menu buttons keep their captions until a choice is made.
    if (const int size = OutputSizeItem(format.width, format.height);
        size >= 0 && m_session.SizeChosen()) {
        m_ui->m_resolutionButton->setText(Text(kOutputSizes[size].menuText));
    }
    for (const FrameRate& rate : kFrameRates) {
        if (rate.denominator == format.frameRateD && m_session.RateChosen()) {
            m_ui->m_frameRateButton->setText(Text(rate.menuText));
        }
    }
    m_ui->m_outputInfo->setText(m_session.OutputLine());
    const SendingControls controls = m_session.Controls();
    m_ui->m_startButton->setEnabled(controls.start);
    m_ui->m_stopButton->setEnabled(controls.stop);
    m_ui->m_resolutionButton->setEnabled(controls.format);
    m_ui->m_frameRateButton->setEnabled(controls.format);
    if (m_session.CopyNumber() > 0) {
        setWindowTitle(CopyTitle(m_session.CopyNumber()));
    }
    m_ui->m_maskNameLabel->setText(m_session.MaskLabel());
    ShowBox();
}

void MainWindow::ShowLinkIcons() {
    for (auto [button, id] : {std::pair{m_ui->m_socialLinkPicture, picture::kSocialIcon},
                              std::pair{m_ui->m_videoLinkPicture, picture::kVideoIcon}}) {
        PixelPicture icon;
        if (LoadResourcePicture(id, icon)) {
            button->setIcon(QIcon(QPixmap::fromImage(imageio::ToQImage(icon))));
            button->setIconSize(button->size() - QSize(4, 4));
        }
    }
}

void MainWindow::ShowBox() {
    if (m_bitmapStatic == nullptr || m_shownBoxChanges == m_session.BoxViewChanges()) {
        return;
    }
    m_shownBoxChanges = m_session.BoxViewChanges();
    if (m_session.BoxView().Holds()) {
        m_bitmapStatic->setPixmap(QPixmap::fromImage(imageio::ToQImage(m_session.BoxView())));
    }
}
