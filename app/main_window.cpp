#include "app/main_window.h"

#include "app/bus_link.h"
#include "app/colour_button.h"
#include "app/user_prompts.h"
#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"
#include "engine/settings_edits.h"
#include "presets/control_ranges.h"
#include "resources/pictures.h"
#include "ui_main_window.h"

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
#include <cstdlib>
#include <ctime>

const QUrl MainWindow::kMakerHomePage{QStringLiteral("https://www.kovaco.example/")};
const QUrl MainWindow::kMakerShop{QStringLiteral("https://shop.kovaco.example/")};
const QUrl MainWindow::kMakerSocialPage{
    QStringLiteral("https://social.kovaco.example/groups/kova-ndi-software")};
const QUrl MainWindow::kMakerVideoChannel{QStringLiteral("https://video.kovaco.example/kovaco")};
const QUrl MainWindow::kHelpPage{QStringLiteral("https://help.kovaco.example/skyfill/readme")};
const QUrl MainWindow::kNdiHomePage{QStringLiteral("https://ndi.video/")};

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

MainWindow::MainWindow(WindowEnvironment environment, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::MainWindow>()),
      m_environment(std::move(environment)), m_outputLink(m_generator, [this](const char* text) {
          m_ui->m_outputInfo->setText(QString::fromUtf8(text));
      }) {
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
    SetUpTimers();
}

MainWindow::~MainWindow() {
    // Only what was set up is released: the thread and sender with the output, then
    // the runtime, which may never have run.
    m_output.reset();
    if (m_runtimeInitialised && !m_ended) {
        m_environment.runtime.api.destroy();
    }
}

void MainWindow::CreatePictureStatics() {
    // The window stands at the template's place, so its bottom edge is its height
    // including a title bar; the two statics keep fixed distances above it.
    constexpr int kTitleBarAllowance = 36;
    const int b = height() + kTitleBarAllowance;
    m_bitmapFrame = new QLabel(this);
    m_bitmapFrame->setFrameShape(QFrame::Box);
    m_bitmapFrame->setStyleSheet(QStringLiteral("color: black;"));
    m_bitmapFrame->setGeometry(QRect(QPoint(8, b - 250), QPoint(332, b - 66)));
    m_bitmapStatic = new QLabel(this);
    m_bitmapStatic->setGeometry(QRect(QPoint(10, b - 248), QPoint(330, b - 68)));
    m_bitmapFrame->show();
    m_bitmapStatic->show();
}

bool MainWindow::Start() {
    QFont linkFont = m_ui->m_startButton->font();
    linkFont.setUnderline(true);
    m_ui->m_makerLinkButton->setFont(linkFont);
    m_ui->m_ndiLinkButton->setFont(linkFont);
    m_versionText = QStringLiteral(SKYFILL_VERSION);
    SetUpMenus();
    // Chosen as from the menus while there is no output yet, so nothing re-configures
    // before the number settles and the first frame already has this format.
    if (m_environment.start.resolutionItem >= 0) {
        OnResolutionChosen(m_environment.start.resolutionItem);
    }
    if (m_environment.start.frameRateItem >= 0) {
        OnFrameRateChosen(m_environment.start.frameRateItem);
    }
    setWindowIcon(MakeWindowIcon());
    CreatePictureStatics();

    m_releaseDateText = QString::fromLatin1(kReleaseDate);

    if (!m_environment.runtime.api.initialize()) {
        m_prompts->Tell(QStringLiteral("Skyfill"),
                        QStringLiteral("Cannot run NDI - for some reason."));
        return false;
    }
    m_runtimeInitialised = true;
    m_output = std::make_unique<NdiOutput>(
        m_environment.runtime.api, m_generator.Composer().FrameStore(), m_outputLink, m_outputLink);
    m_output->SetButtonListener([this](const SendButtonStates& s) { ShowButtonStates(s); });
    SetUpRemoteControl();

    m_ui->m_rotationSpeedSlider->setRange(kRotationSliderMin, kRotationSliderMax);
    // The slider shows the speed negated.
    m_ui->m_cloudSpeedSlider->setRange(-kCloudSpeedMax, -kCloudSpeedMin);
    m_ui->m_cloudSpeedSlider->setTickInterval(kCloudSpeedMax);
    if (!m_environment.headless) {
        m_ui->m_preview->InitPreview();
        m_generator.Composer().SetViewer(m_ui->m_preview);
    }
    LoadPictures();

    LoadStartupPresets();
    {
        // Showing the loaded state is not a user's act.
        const QSignalBlocker quiet(m_ui->m_previewCheck);
        m_ui->m_previewCheck->setChecked(PreviewMode() != 0);
    }
    // At start-up the cloud set's number is shown even with clouds off.
    m_ui->m_statusLine->setText(QString::fromStdString(StatusLine(Settings(), true)));

    AnnounceInstance(m_numbering, m_environment.processId);
    m_numbering.m_obeyRemoteStartStop = true;
    m_ui->m_stopButton->setEnabled(false);
    if (m_bus != nullptr) {
        m_bus->Post(static_cast<int32_t>(BusCommand::Announce), m_numbering.m_processId);
    }

    m_settleTimer.start();
    m_rotationTimer.start(Settings().rotationPeriodMs);
    GeneratorSettings settings = Settings();
    settings.logoOn = true;
    Apply(settings);
    m_logoTimer.start();
    m_startupDraw = DrawStartupNumber();
    m_supportDialog = new SupportDialog(
        SupportLinks{kMakerHomePage, kMakerShop, kMakerSocialPage, kMakerVideoChannel},
        [this](const QUrl& url) { OpenWebPage(url); }, this, m_environment.supportTimings);
    m_supportDialogPending = true;
    if (m_startupDraw == 8 || m_startupDraw == 9) {
        // The output shows the support picture as its logo; the picture box keeps the logo.
        ImageBuffer& logo = m_generator.Composer().Logo();
        if (LoadResourceBitmap(logo, picture::kSupport)) {
            logo.SetOpaque();
        }
    }
    return true;
}

int32_t MainWindow::DrawStartupNumber() {
    if (m_environment.startupDraw >= 0) {
        return m_environment.startupDraw % 10;
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return std::rand() % 10;
}

void MainWindow::OnOK() {
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

void MainWindow::ShutDownNow() {
    // Anything open would hold the exit up, and nobody may be there to answer it.
    m_prompts->StopWaiting();
    CloseOpenDialogs();
    if (!m_shuttingDown) {
        ShutDown();
    }
}

void MainWindow::CloseOpenDialogs() {
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

void MainWindow::ShutDown() {
    m_shuttingDown = true;
    // No settlement, rotation or logo step may run in a nested loop of the steps below.
    for (QTimer* timer : {&m_settleTimer, &m_rotationTimer, &m_logoTimer, &m_logoLateTimer}) {
        timer->stop();
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

void MainWindow::reject() {
    OnOK();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
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

void MainWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_windowRect = frameGeometry();
    if (m_supportDialogPending && m_supportDialog != nullptr) {
        m_supportDialogPending = false;
        m_supportDialog->ShowBeside(*this);
    }
}

void MainWindow::ShowAbout() {
    const char* runtimeVersion =
        m_runtimeInitialised ? m_environment.runtime.api.version() : nullptr;
    AboutDialog about(m_versionText, m_releaseDateText,
                      runtimeVersion != nullptr ? QString::fromUtf8(runtimeVersion) : QString(),
                      this);
    about.exec();
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (m_systemMenu != nullptr) {
        m_systemMenu->popup(event->globalPos());
    }
}

void MainWindow::OpenWebPage(const QUrl& address) {
    m_environment.openUrl(address);
}

int32_t MainWindow::PreviewMode() const {
    if (Settings().previewEveryFrame) {
        return 2;
    }
    return m_generator.Composer().PreviewOnce() ? 1 : 0;
}
