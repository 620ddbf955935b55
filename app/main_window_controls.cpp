// The window's controls, each mapped to the session command it sends, and the menus.

#include "app/colour_button.h"
#include "app/main_window.h"
#include "app/menu_button.h"
#include "session/copy_session.h"
#include "ui_main_window.h"
#include "vocabulary/output_formats.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QMenu>
#include <QShortcut>
#include <functional>
#include <memory>

namespace {

// Runs `choose` once for every choice the user makes in a radio group, however it is
// made. A click (mouse, keyboard, arrow keys) checks a button and then reports the
// click; an assistive tool's toggle action only checks it; a click on the button that
// is already checked only reports the click, and is still a choice. A button the
// window checks to show the value `current` already holds is none.
void OnUserChoice(QButtonGroup* group, QObject* context, std::function<int()> current,
                  const std::function<void(int)>& choose) {
    auto chosenInThisPress = std::make_shared<bool>(false);
    QObject::connect(group, &QButtonGroup::idPressed, context,
                     [chosenInThisPress] { *chosenInThisPress = false; });
    QObject::connect(group, &QButtonGroup::idToggled, context,
                     [chosenInThisPress, current = std::move(current), choose](int id, bool on) {
                         if (on && id != current()) {
                             *chosenInThisPress = true;
                             choose(id);
                         }
                     });
    QObject::connect(group, &QButtonGroup::idClicked, context, [chosenInThisPress, choose](int id) {
        if (!*chosenInThisPress) {
            choose(id);
        }
        *chosenInThisPress = false;
    });
}

QButtonGroup* GroupOf(QObject* owner, std::initializer_list<QAbstractButton*> buttons) {
    auto* group = new QButtonGroup(owner);
    int id = 0;
    for (QAbstractButton* button : buttons) {
        group->addButton(button, id++);
    }
    return group;
}

} // namespace

void MainWindow::SetUpControls() {
    ColourButton* colours[] = {m_ui->m_colourButton0, m_ui->m_colourButton1, m_ui->m_colourButton2,
                               m_ui->m_colourButton3};
    for (int i = 0; i < 4; ++i) {
        connect(colours[i], &ColourButton::colourPicked, this,
                [this, i](uint32_t value) { m_session.SetColour(i, value); });
    }
    SetUpChoices();
    // A check box changes with every click, so its change alone is the user's act; the
    // window shows values in check boxes with their signals blocked.
    connect(m_ui->m_cloudCheck, &QCheckBox::toggled, this,
            [this](bool on) { m_session.SetClouds(on); });
    connect(m_ui->m_previewCheck, &QCheckBox::toggled, this,
            [this](bool on) { m_session.SetPreview(on); });
    for (QCheckBox* box : {m_ui->m_useMaskCheck, m_ui->m_invertCheck, m_ui->m_useMaskAlphaCheck}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            m_session.SetMaskSwitches(m_ui->m_useMaskCheck->isChecked(),
                                      m_ui->m_invertCheck->isChecked(),
                                      m_ui->m_useMaskAlphaCheck->isChecked());
        });
    }
    connect(m_ui->m_revealAlphaCheck, &QCheckBox::toggled, this,
            [this](bool on) { m_session.SetRevealAlpha(on); });
    connect(m_ui->m_pasteButton, &QPushButton::clicked, this, [this] { m_session.Paste(); });
    connect(m_ui->m_loadLastButton, &QPushButton::clicked, this, [this] { m_session.LoadLast(); });
    connect(m_ui->m_hFlipButton, &QPushButton::clicked, this, [this] { m_session.FlipMask(true); });
    connect(m_ui->m_vFlipButton, &QPushButton::clicked, this,
            [this] { m_session.FlipMask(false); });
    connect(m_ui->m_loadMaskButton, &QPushButton::clicked, this, [this] {
        m_session.LoadMask(QFileDialog::getOpenFileName(
            this, QStringLiteral("Load Alpha image file"), QString(),
            QStringLiteral("Image Files (*.bmp *.gif *.jpg *.png *.tif);;All Files (*)")));
    });
    connect(m_ui->m_exitButton, &QPushButton::clicked, this, [this] { m_session.Exit(); });
    connect(m_ui->m_startButton, &QPushButton::clicked, this, [this] { m_session.StartSending(); });
    connect(m_ui->m_stopButton, &QPushButton::clicked, this, [this] { m_session.StopSending(); });
    m_ui->m_rotationSpeedSlider->setRange(kRotationSliderSetting.min, kRotationSliderSetting.max);
    connect(m_ui->m_rotationSpeedSlider, &QSlider::valueChanged, this,
            [this](int position) { m_session.SetRotationSlider(position); });
    // The position is the speed: the top end moves the clouds up fastest.
    m_ui->m_cloudSpeedSlider->setRange(kCloudSpeedSetting.min, kCloudSpeedSetting.max);
    m_ui->m_cloudSpeedSlider->setTickInterval(kCloudSpeedSetting.max);
    connect(m_ui->m_cloudSpeedSlider, &QSlider::valueChanged, this,
            [this](int speed) { m_session.SetCloudSpeed(speed); });
    connect(m_ui->m_resolutionButton, &MenuButton::itemChosen, this,
            [this](int item) { m_session.ChooseSize(item); });
    connect(m_ui->m_frameRateButton, &MenuButton::itemChosen, this,
            [this](int item) { m_session.ChooseRate(item); });
    connect(m_ui->m_cloudSetButton, &MenuButton::itemChosen, this,
            [this](int item) { m_session.SetCloudSet(item); });
    connect(m_ui->m_makerLinkButton, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerHomePage); });
    connect(m_ui->m_ndiLinkButton, &QPushButton::clicked, this,
            [this] { OpenWebPage(kNdiHomePage); });
    connect(m_ui->m_socialLinkPicture, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerSocialPage); });
    connect(m_ui->m_videoLinkPicture, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerVideoChannel); });

    // Shift+F10 opens the context menu from the keyboard, as the Menu key does.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { m_systemMenu->popup(mapToGlobal(rect().center())); });
}

void MainWindow::SetUpChoices() {
    m_rotationGroup =
        GroupOf(this, {m_ui->m_rotationStatic, m_ui->m_rotationCw, m_ui->m_rotationCcw});
    m_fillGroup =
        GroupOf(this, {m_ui->m_fillFull, m_ui->m_fillHSplit, m_ui->m_fillVSplit, m_ui->m_fillQuad});
    m_presetGroup = GroupOf(this, {m_ui->m_presetRadio0, m_ui->m_presetRadio1, m_ui->m_presetRadio2,
                                   m_ui->m_presetRadio3, m_ui->m_presetRadio4});
    m_ui->m_presetRadio0->setChecked(true);
    m_ui->m_fillFull->setChecked(true);
    m_ui->m_rotationStatic->setChecked(true);
    // The session holds a value before the window checks its button, so showing it is
    // no user choice.
    OnUserChoice(
        m_rotationGroup, this, [this] { return m_session.Settings().rotationMode; },
        [this](int id) { m_session.SetRotation(static_cast<Rotation>(id)); });
    OnUserChoice(
        m_fillGroup, this, [this] { return m_session.Settings().fillPattern; },
        [this](int id) { m_session.SetFillPattern(static_cast<FillPattern>(id)); });
    OnUserChoice(
        m_presetGroup, this, [this] { return m_session.Presets().m_presetSlot; },
        [this](int slot) { m_session.SelectSlot(slot); });
}

void MainWindow::SetUpMenus() {
    for (const OutputSize& size : kOutputSizes) {
        m_ui->m_resolutionButton->AddItem(QString::fromLatin1(
            size.menuText.data(), static_cast<qsizetype>(size.menuText.size())));
    }
    for (const FrameRate& rate : kFrameRates) {
        m_ui->m_frameRateButton->AddItem(QString::fromLatin1(
            rate.menuText.data(), static_cast<qsizetype>(rate.menuText.size())));
    }
    for (const ValueName& set : kCloudSetNames) {
        m_ui->m_cloudSetButton->AddItem(
            QString::fromLatin1(set.words.data(), static_cast<qsizetype>(set.words.size())));
    }

    m_systemMenu = new QMenu(this);
    m_systemMenu->addAction(QStringLiteral("&Save Default Presets"), this,
                            [this] { RunCommand(WindowCommand::SaveDefaults); });
    m_systemMenu->addAction(QStringLiteral("&Load Presets from file"), this,
                            [this] { RunCommand(WindowCommand::LoadPresets); });
    m_systemMenu->addSeparator();
    // Not a preset setting: the window's menu is where a choice of the copy's own goes.
    m_uyvyAction = m_systemMenu->addAction(QStringLiteral("Send &UYVY (4:2:2, no alpha)"));
    m_uyvyAction->setCheckable(true);
    connect(m_uyvyAction, &QAction::triggered, this, [this](bool checked) {
        m_session.SetPixelFormat(checked ? QStringLiteral("uyvy") : QStringLiteral("bgrx"));
    });
    m_systemMenu->addSeparator();
    m_systemMenu->addAction(QStringLiteral("Open online help (ReadMe file)"), this,
                            [this] { RunCommand(WindowCommand::Help); });
    m_systemMenu->addAction(QStringLiteral("&About Skyfill..."), this,
                            [this] { RunCommand(WindowCommand::About); });
}
