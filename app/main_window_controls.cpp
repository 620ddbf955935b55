// Wiring of the window's controls to their handlers, and the menus.

#include "app/bus_link.h"
#include "app/colour_button.h"
#include "app/main_window.h"
#include "app/menu_button.h"
#include "app/menu_tables.h"
#include "ui_main_window.h"

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
// program checks to show the value `current` already holds is none.
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

} // namespace

void MainWindow::SetUpControls() {
    m_colourButton[0] = m_ui->m_colourButton0;
    m_colourButton[1] = m_ui->m_colourButton1;
    m_colourButton[2] = m_ui->m_colourButton2;
    m_colourButton[3] = m_ui->m_colourButton3;
    for (int i = 0; i < 4; ++i) {
        connect(m_colourButton[i], &ColourButton::colourPicked, this,
                [this, i](uint32_t value) { OnColourPicked(i, value); });
    }

    m_rotationGroup = new QButtonGroup(this);
    m_rotationGroup->addButton(m_ui->m_rotationStatic, 0);
    m_rotationGroup->addButton(m_ui->m_rotationCw, 1);
    m_rotationGroup->addButton(m_ui->m_rotationCcw, 2);
    m_fillGroup = new QButtonGroup(this);
    m_fillGroup->addButton(m_ui->m_fillFull, 0);
    m_fillGroup->addButton(m_ui->m_fillHSplit, 1);
    m_fillGroup->addButton(m_ui->m_fillVSplit, 2);
    m_fillGroup->addButton(m_ui->m_fillQuad, 3);
    m_presetGroup = new QButtonGroup(this);
    QRadioButton* presets[] = {m_ui->m_presetRadio0, m_ui->m_presetRadio1, m_ui->m_presetRadio2,
                               m_ui->m_presetRadio3, m_ui->m_presetRadio4};
    for (int i = 0; i < kPresetSlotCount; ++i) {
        m_presetGroup->addButton(presets[i], i);
    }
    // The window's first data exchange shows m_presetSlot, which starts at 0.
    m_ui->m_presetRadio0->setChecked(true);
    m_ui->m_fillFull->setChecked(true);
    m_ui->m_rotationStatic->setChecked(true);
    // ApplySlot and the preset loads set these values before they check a button.
    OnUserChoice(
        m_rotationGroup, this, [this] { return Settings().rotationMode; },
        [this](int) { OnRadioGroup(); });
    OnUserChoice(
        m_fillGroup, this, [this] { return Settings().fillPattern; },
        [this](int) { OnRadioGroup(); });
    OnUserChoice(
        m_presetGroup, this, [this] { return m_presets.m_presetSlot; },
        [this](int slot) { OnPresetRadio(slot); });
    // A check box changes with every click, so its change alone is the user's act; the
    // program sets check boxes with their signals blocked.
    connect(m_ui->m_cloudCheck, &QCheckBox::toggled, this, &MainWindow::OnCloudCheck);
    connect(m_ui->m_previewCheck, &QCheckBox::toggled, this, &MainWindow::OnPreviewCheck);
    connect(m_ui->m_useMaskCheck, &QCheckBox::toggled, this, &MainWindow::OnUseMask);
    connect(m_ui->m_invertCheck, &QCheckBox::toggled, this, &MainWindow::OnMaskSwitches);
    connect(m_ui->m_useMaskAlphaCheck, &QCheckBox::toggled, this, &MainWindow::OnMaskSwitches);
    connect(m_ui->m_revealAlphaCheck, &QCheckBox::toggled, this, &MainWindow::OnRevealAlpha);
    connect(m_ui->m_pasteButton, &QPushButton::clicked, this, &MainWindow::OnPaste);
    connect(m_ui->m_loadLastButton, &QPushButton::clicked, this, &MainWindow::OnLoadLast);
    connect(m_ui->m_hFlipButton, &QPushButton::clicked, this, [this] { OnFlipMask(true); });
    connect(m_ui->m_vFlipButton, &QPushButton::clicked, this, [this] { OnFlipMask(false); });
    connect(m_ui->m_loadMaskButton, &QPushButton::clicked, this, [this] {
        OnLoadAlphaMask(QFileDialog::getOpenFileName(
            this, QStringLiteral("Load Alpha image file"), QString(),
            QStringLiteral("Image Files (*.bmp *.gif *.jpg *.png *.tif);;All Files (*)")));
        NoteStatusChange();
    });

    connect(m_ui->m_exitButton, &QPushButton::clicked, this, &MainWindow::OnOK);
    connect(m_ui->m_startButton, &QPushButton::clicked, this, &MainWindow::OnStart);
    connect(m_ui->m_stopButton, &QPushButton::clicked, this, &MainWindow::OnStop);
    connect(m_ui->m_rotationSpeedSlider, &QSlider::valueChanged, this,
            &MainWindow::OnRotationSlider);
    // A vertical Qt slider keeps its minimum at the bottom; this one's top end is
    // position -4 (clouds up fastest), and Up and Page Up move toward it.
    m_ui->m_cloudSpeedSlider->setInvertedAppearance(true);
    m_ui->m_cloudSpeedSlider->setInvertedControls(true);
    connect(m_ui->m_cloudSpeedSlider, &QSlider::valueChanged, this, &MainWindow::OnCloudSlider);
    connect(m_ui->m_resolutionButton, &MenuButton::itemChosen, this,
            &MainWindow::OnResolutionChosen);
    connect(m_ui->m_frameRateButton, &MenuButton::itemChosen, this, &MainWindow::OnFrameRateChosen);
    connect(m_ui->m_cloudSetButton, &MenuButton::itemChosen, this, &MainWindow::OnCloudSetChosen);
    connect(m_ui->m_makerLinkButton, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerHomePage); });
    connect(m_ui->m_ndiLinkButton, &QPushButton::clicked, this,
            [this] { OpenWebPage(kNdiHomePage); });
    connect(m_ui->m_socialLinkPicture, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerSocialPage); });
    connect(m_ui->m_videoLinkPicture, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerVideoChannel); });
    if (m_bus != nullptr) {
        connect(m_bus, &BusLink::posted, this, &MainWindow::OnBusPost);
    }

    // Shift+F10 opens the context menu from the keyboard, as the Menu key does.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { m_systemMenu->popup(mapToGlobal(rect().center())); });
}

void MainWindow::SetUpMenus() {
    for (const ResolutionItem& item : kResolutionMenu) {
        m_ui->m_resolutionButton->AddItem(QString::fromLatin1(item.text));
    }
    for (const FrameRateItem& item : kFrameRateMenu) {
        m_ui->m_frameRateButton->AddItem(QString::fromLatin1(item.text));
    }
    for (const char* item : kCloudSetMenu) {
        m_ui->m_cloudSetButton->AddItem(QString::fromLatin1(item));
    }

    m_systemMenu = new QMenu(this);
    m_systemMenu->addAction(QStringLiteral("&Save Default Presets"), this,
                            [this] { OnWindowCommand(WindowCommand::SaveDefaults); });
    m_systemMenu->addAction(QStringLiteral("&Load Presets from file"), this,
                            [this] { OnWindowCommand(WindowCommand::LoadPresets); });
    m_systemMenu->addSeparator();
    m_systemMenu->addAction(QStringLiteral("Open online help (ReadMe file)"), this,
                            [this] { OnWindowCommand(WindowCommand::Help); });
    m_systemMenu->addAction(QStringLiteral("&About Skyfill..."), this,
                            [this] { OnWindowCommand(WindowCommand::About); });
}
