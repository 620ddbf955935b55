// Wiring of the window's controls to their handlers, and the menus.

#include "app/bus_link.h"
#include "app/colour_button.h"
#include "app/menu_button.h"
#include "app/skyfill_dlg.h"
#include "ui_skyfill_dlg.h"

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

void CSkyfillDlg::SetUpControls() {
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
        m_rotationGroup, this, [this] { return m_rotationMode; }, [this](int) { OnRadioGroup(); });
    OnUserChoice(
        m_fillGroup, this, [this] { return m_fillPattern; }, [this](int) { OnRadioGroup(); });
    OnUserChoice(
        m_presetGroup, this, [this] { return m_presetBlock.m_presetSlot; },
        [this](int slot) { OnPresetRadio(slot); });
    // A check box changes with every click, so its change alone is the user's act; the
    // program sets check boxes with their signals blocked.
    connect(m_ui->m_cloudCheck, &QCheckBox::toggled, this, &CSkyfillDlg::OnCloudCheck);
    connect(m_ui->m_previewCheck, &QCheckBox::toggled, this, &CSkyfillDlg::OnPreviewCheck);
    connect(m_ui->m_useMaskCheck, &QCheckBox::toggled, this, &CSkyfillDlg::OnUseMask);
    connect(m_ui->m_invertCheck, &QCheckBox::toggled, this, &CSkyfillDlg::OnMaskSwitches);
    connect(m_ui->m_useMaskAlphaCheck, &QCheckBox::toggled, this, &CSkyfillDlg::OnMaskSwitches);
    connect(m_ui->m_revealAlphaCheck, &QCheckBox::toggled, this, &CSkyfillDlg::OnRevealAlpha);
    connect(m_ui->m_pasteButton, &QPushButton::clicked, this, &CSkyfillDlg::OnPaste);
    connect(m_ui->m_loadLastButton, &QPushButton::clicked, this, &CSkyfillDlg::OnLoadLast);
    connect(m_ui->m_hFlipButton, &QPushButton::clicked, this, [this] { OnFlipMask(true); });
    connect(m_ui->m_vFlipButton, &QPushButton::clicked, this, [this] { OnFlipMask(false); });
    connect(m_ui->m_loadMaskButton, &QPushButton::clicked, this, [this] {
        OnLoadAlphaMask(QFileDialog::getOpenFileName(
            this, QStringLiteral("Load Alpha image file"), QString(),
            QStringLiteral("Image Files (*.bmp *.gif *.jpg *.png *.tif);;All Files (*)")));
    });

    connect(m_ui->m_exitButton, &QPushButton::clicked, this, &CSkyfillDlg::OnOK);
    connect(m_ui->m_startButton, &QPushButton::clicked, this, &CSkyfillDlg::OnStart);
    connect(m_ui->m_stopButton, &QPushButton::clicked, this, &CSkyfillDlg::OnStop);
    connect(m_ui->m_rotationSpeedSlider, &QSlider::valueChanged, this,
            &CSkyfillDlg::OnRotationSlider);
    // A vertical Qt slider keeps its minimum at the bottom; this one's top end is
    // position -4 (clouds up fastest), and Up and Page Up move toward it.
    m_ui->m_cloudSpeedSlider->setInvertedAppearance(true);
    m_ui->m_cloudSpeedSlider->setInvertedControls(true);
    connect(m_ui->m_cloudSpeedSlider, &QSlider::valueChanged, this, &CSkyfillDlg::OnCloudSlider);
    connect(m_ui->m_resolutionButton, &MenuButton::commandChosen, this,
            &CSkyfillDlg::OnResolutionChosen);
    connect(m_ui->m_frameRateButton, &MenuButton::commandChosen, this,
            &CSkyfillDlg::OnFrameRateChosen);
    connect(m_ui->m_cloudSetButton, &MenuButton::commandChosen, this,
            &CSkyfillDlg::OnCloudSetChosen);
    connect(m_ui->m_makerLinkButton, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerHomePage); });
    connect(m_ui->m_ndiLinkButton, &QPushButton::clicked, this,
            [this] { OpenWebPage(kNdiHomePage); });
    connect(m_ui->m_socialLinkPicture, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerSocialPage); });
    connect(m_ui->m_videoLinkPicture, &QPushButton::clicked, this,
            [this] { OpenWebPage(kMakerVideoChannel); });
    if (m_bus != nullptr) {
        connect(m_bus, &BusLink::posted, this, &CSkyfillDlg::OnBusPost);
    }

    // Shift+F10 opens the context menu from the keyboard, as the Menu key does.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { m_systemMenu->popup(mapToGlobal(rect().center())); });
}

void CSkyfillDlg::SetUpMenus() {
    MenuButton* resolution = m_ui->m_resolutionButton;
    resolution->AddItem(QStringLiteral("4096 x 2160"), 32785);
    resolution->AddItem(QStringLiteral("3840 x 2160"), 32784);
    resolution->AddItem(QStringLiteral("2560 x 1440"), 32783);
    resolution->AddItem(QStringLiteral("1920 x 1080"), 32771);
    resolution->AddItem(QStringLiteral("1280 x 720"), 32772);
    resolution->AddItem(QStringLiteral("960 x 540"), 32773);
    resolution->AddItem(QStringLiteral("720 x 576"), 32774);
    resolution->AddItem(QStringLiteral("720 x 480"), 32775);
    resolution->AddItem(QStringLiteral("640 x 360"), 32776);
    m_ui->m_frameRateButton->AddItem(QStringLiteral("25p"), 32777);
    m_ui->m_frameRateButton->AddItem(QStringLiteral("29.97p"), 32780);
    m_ui->m_frameRateButton->AddItem(QStringLiteral("30p"), 32778);
    m_ui->m_cloudSetButton->AddItem(QStringLiteral("1"), 32786);
    m_ui->m_cloudSetButton->AddItem(QStringLiteral("2"), 32787);

    m_systemMenu = new QMenu(this);
    m_systemMenu->addAction(QStringLiteral("&Save Default Presets"), this,
                            [this] { OnSystemCommand(kSaveDefaults); });
    m_systemMenu->addAction(QStringLiteral("&Load Presets from file"), this,
                            [this] { OnSystemCommand(kLoadPresets); });
    m_systemMenu->addSeparator();
    m_systemMenu->addAction(QStringLiteral("Open online help (ReadMe file)"), this,
                            [this] { OnSystemCommand(kHelp); });
    m_systemMenu->addAction(QStringLiteral("&About Skyfill..."), this,
                            [this] { OnSystemCommand(kAboutCommand); });
}
