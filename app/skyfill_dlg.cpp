#include "app/skyfill_dlg.h"

#include "app/bus_link.h"
#include "app/colour_button.h"
#include "app/instance_coordination.h"
#include "app/menu_button.h"
#include "app/user_prompts.h"
#include "dialogs/about_dlg.h"
#include "dialogs/ad_dialog.h"
#include "resources/pictures.h"
#include "ui_skyfill_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimerEvent>
#include <cstdlib>
#include <ctime>

const QUrl CSkyfillDlg::kMakerHomePage{QStringLiteral("https://www.kovaco.example/")};
const QUrl CSkyfillDlg::kMakerShop{QStringLiteral("https://shop.kovaco.example/")};
const QUrl CSkyfillDlg::kMakerSocialPage{
    QStringLiteral("https://social.kovaco.example/groups/kova-ndi-software")};
const QUrl CSkyfillDlg::kMakerVideoChannel{QStringLiteral("https://video.kovaco.example/kovaco")};
const QUrl CSkyfillDlg::kHelpPage{QStringLiteral("https://help.kovaco.example/skyfill/readme")};
const QUrl CSkyfillDlg::kNdiHomePage{QStringLiteral("https://ndi.video/")};

namespace {

// The month this release was made, shown by the About box.
constexpr const char* kReleaseDate = "Dec-2026";

QIcon MakeWindowIcon() {
    QPixmap pixmap(32, 32);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 32, 32);
    gradient.setColorAt(0, QColor(0xBD, 0xB5, 0x00));
    gradient.setColorAt(1, QColor(0x00, 0x00, 0xCC));
    painter.fillRect(pixmap.rect(), gradient);
    return QIcon(pixmap);
}

} // namespace

CSkyfillDlg::CSkyfillDlg(SkyfillEnvironment environment, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CSkyfillDlg>()),
      m_environment(std::move(environment)) {
    m_ui->setupUi(this);
    if (m_environment.prompts != nullptr) {
        m_prompts = m_environment.prompts;
    } else {
        m_ownPrompts = std::make_unique<MessageBoxPrompts>(this);
        m_prompts = m_ownPrompts.get();
    }
    if (m_environment.bus != nullptr) {
        m_bus = m_environment.bus;
    } else if (!m_environment.alone) {
        m_bus = new BusLink(QDBusConnection::sessionBus(), this);
    }
    if (!m_environment.openUrl) {
        m_environment.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    }
    SetUpControls();
}

CSkyfillDlg::~CSkyfillDlg() {
    // Only what was set up is released: the thread and sender with the output, then
    // the runtime, which may never have run.
    m_output.reset();
    if (m_runtimeInitialised && !m_ended) {
        m_environment.runtime.api.destroy();
    }
}

void CSkyfillDlg::CreatePictureStatics() {
    // The window stands at the template's place, so its bottom edge is its height
    // including a title bar; the two statics keep fixed distances above it.
    constexpr int kTitleBarAllowance = 36;
    m_initialWindowBottom = height() + kTitleBarAllowance;
    const int b = m_initialWindowBottom;
    m_bitmapFrame = new QLabel(this);
    m_bitmapFrame->setFrameShape(QFrame::Box);
    m_bitmapFrame->setStyleSheet(QStringLiteral("color: black;"));
    m_bitmapFrame->setGeometry(QRect(QPoint(8, b - 250), QPoint(332, b - 66)));
    m_bitmapStatic = new QLabel(this);
    m_bitmapStatic->setGeometry(QRect(QPoint(10, b - 248), QPoint(330, b - 68)));
    m_bitmapFrame->show();
    m_bitmapStatic->show();
}

bool CSkyfillDlg::OnInitDialog() {
    QFont linkFont = m_ui->m_startButton->font();
    linkFont.setUnderline(true);
    m_ui->m_makerLinkButton->setFont(linkFont);
    m_ui->m_ndiLinkButton->setFont(linkFont);
    m_versionText = QStringLiteral(SKYFILL_VERSION);
    SetUpMenus();
    setWindowIcon(MakeWindowIcon());
    CreatePictureStatics();

    SetOutputDefaults();
    m_releaseDateText = QString::fromLatin1(kReleaseDate);

    if (!m_environment.runtime.api.initialize()) {
        m_prompts->Tell(QStringLiteral("Skyfill"),
                        QStringLiteral("Cannot run NDI - for some reason."));
        return false;
    }
    m_runtimeInitialised = true;
    m_output = std::make_unique<NdiOutput>(
        m_environment.runtime.api, NdiOutput::SharedFlags{m_sending, m_frameDirty, m_opaqueOutput},
        static_cast<FrameProducer&>(*this), static_cast<ReconfigureSteps&>(*this));
    m_output->SetButtonListener([this](const SendButtonStates& s) { ShowButtonStates(s); });

    m_ui->m_rotationSpeedSlider->setRange(10, 250);
    m_ui->m_cloudSpeedSlider->setRange(-4, 4);
    m_ui->m_cloudSpeedSlider->setTickInterval(4);
    m_ui->m_preview->InitPreview();
    LoadPictures();

    m_opaqueOutput = 1;
    LoadStartupPresets();
    {
        // Showing the loaded state is not a user's act.
        const QSignalBlocker quiet(m_ui->m_previewCheck);
        m_ui->m_previewCheck->setChecked(m_previewMode != 0);
    }

    // At start-up the cloud set's number is shown even with clouds off.
    m_ui->m_statusLine->setText(
        QStringLiteral("%1 - %2 - %3 %4")
            .arg(QString::fromUtf8(m_labelNames[5 + m_fillPattern].data()),
                 QString::fromUtf8(m_labelNames[2 + m_rotationMode].data()),
                 QString::fromUtf8(m_labelNames[m_cloudsOn != 0 ? 1 : 0].data()))
            .arg(m_cloudSet + 1));

    AnnounceInstance(*this, m_environment.processId);
    m_obeyRemoteStartStop = 1;
    m_ui->m_stopButton->setEnabled(false);
    if (m_bus != nullptr) {
        m_bus->Post(static_cast<int32_t>(BusCommand::Announce), m_processId);
    }

    SetTimer(kSettleTimer, 100);
    SetTimer(kRotationTimer, m_rotationPeriodMs);
    m_logoOverlayOn = 1;
    SetTimer(kLogoTimer, 23853);
    m_startupDraw = DrawStartupNumber();
    m_supportDialog = new AdDialog(
        SupportLinks{kMakerHomePage, kMakerShop, kMakerSocialPage, kMakerVideoChannel},
        [this](const QUrl& url) { OpenWebPage(url); }, this, m_environment.supportTimings);
    m_supportDialog->m_pictureId = 190;
    m_supportDialog->m_displayMode = 3;
    m_supportDialogPending = 1;
    if (m_startupDraw == 8 || m_startupDraw == 9) {
        // The output shows the support picture as its logo; the picture box keeps 134.
        if (LoadResourceBitmap(m_logoImage, 190)) {
            m_logoImage.SetOpaque();
        }
    }
    return true;
}

int32_t CSkyfillDlg::DrawStartupNumber() {
    if (m_environment.startupDraw >= 0) {
        return m_environment.startupDraw % 10;
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return std::rand() % 10;
}

void CSkyfillDlg::OnOK() {
    if (m_ended || m_shuttingDown) {
        return;
    }
    const bool ok =
        m_prompts->AskOkCancel(QStringLiteral("Quit Skyfill"), QStringLiteral("OK to exit?"));
    // A termination signal may have ended the program while the question was open.
    if (!ok || m_shuttingDown) {
        return;
    }
    ShutDown();
}

void CSkyfillDlg::ShutDownNow() {
    // Anything open would hold the exit up, and nobody may be there to answer it.
    m_prompts->StopWaiting();
    CloseOpenDialogs();
    if (!m_shuttingDown) {
        ShutDown();
    }
}

void CSkyfillDlg::CloseOpenDialogs() {
    // Each close ends one nested event loop once this handler returns; the bound only
    // guards against a window that refuses to go.
    for (int i = 0; i < 16; ++i) {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        } else if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                   dialog != nullptr && dialog != this) {
            dialog->reject();
        } else {
            return;
        }
    }
}

void CSkyfillDlg::ShutDown() {
    m_shuttingDown = true;
    // No settlement, rotation or logo step may run in a nested loop of the steps below.
    for (int id = kSettleTimer; id <= kLogoLateTimer; ++id) {
        KillTimer(id);
    }
    if (m_output) {
        OnStop();
        // Only a window that started up fully has presets worth keeping.
        SavePresetFile(QStringLiteral("last.skf"));
    }
    // The output owns the sender and the frame store; dropping it destroys the sender
    // before its store is freed.
    m_output.reset();
    if (m_runtimeInitialised) {
        m_environment.runtime.api.destroy();
    }
    // Only now, with the sender gone, may a newcomer take this copy's number.
    if (m_bus != nullptr) {
        m_bus->ReleaseCopyNumber();
    }
    m_ended = true;
    QDialog::done(QDialog::Accepted);
}

void CSkyfillDlg::reject() {
    OnOK();
}

void CSkyfillDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        OpenWebPage(kHelpPage);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSkyfillDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_windowRect = frameGeometry();
    if (m_supportDialogPending != 0 && m_supportDialog != nullptr) {
        m_supportDialogPending = 0;
        m_supportDialog->ShowBeside(*this);
    }
}

void CSkyfillDlg::ShowAbout() {
    const char* runtimeVersion =
        m_runtimeInitialised ? m_environment.runtime.api.version() : nullptr;
    CAboutDlg about(m_versionText, m_releaseDateText,
                    runtimeVersion != nullptr ? QString::fromUtf8(runtimeVersion) : QString(),
                    this);
    about.exec();
}

void CSkyfillDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (m_systemMenu != nullptr) {
        m_systemMenu->popup(event->globalPos());
    }
}

void CSkyfillDlg::OpenWebPage(const QUrl& address) {
    m_environment.openUrl(address);
}
