#include "app/main_window.h"

#include "app/user_prompts.h"
#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"
#include "session/copy_session.h"
#include "ui_main_window.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>

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

MainWindow::MainWindow(CopySession& session, WindowEnvironment environment, QWidget* parent)
    : QDialog(parent), m_session(session), m_ui(std::make_unique<Ui::MainWindow>()),
      m_environment(std::move(environment)) {
    m_ui->setupUi(this);
    if (m_environment.prompts != nullptr) {
        m_prompts = m_environment.prompts;
    } else {
        m_ownPrompts = std::make_unique<MessageBoxPrompts>(this);
        m_prompts = m_ownPrompts.get();
    }
    if (!m_environment.openUrl) {
        m_environment.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    }
    SetUpControls();
    SetUpMenus();
    m_session.AttachFace(*this);
}

MainWindow::~MainWindow() {
    m_session.DetachFace(*this);
    // The preview box goes with the window: no frame may be drawn into it any more.
    if (m_session.Sending()) {
        m_session.StopSending();
    }
    m_session.SetFrameViewer(nullptr);
}

void MainWindow::CreatePictureStatics() {
    // The window stands at the template's place, so its bottom edge is its height
    // including a title bar; the two statics keep fixed distances above it.
    constexpr int kTitleBarAllowance = 36;
    const int b = height() + kTitleBarAllowance;
    m_bitmapFrame = new QLabel(this);
    m_bitmapFrame->setFrameShape(QFrame::Box);
    m_bitmapFrame->setStyleSheet(QStringLiteral("color: black;"));
    m_bitmapFrame->setGeometry(QRect(QPoint(8, b - 250), QSize(324, 184)));
    m_bitmapStatic = new QLabel(this);
    m_bitmapStatic->setGeometry(QRect(QPoint(10, b - 248), QSize(320, 180)));
    m_bitmapFrame->show();
    m_bitmapStatic->show();
}

bool MainWindow::Start() {
    QFont linkFont = m_ui->m_startButton->font();
    linkFont.setUnderline(true);
    m_ui->m_makerLinkButton->setFont(linkFont);
    m_ui->m_ndiLinkButton->setFont(linkFont);
    setWindowIcon(MakeWindowIcon());
    CreatePictureStatics();
    ShowLinkIcons();
    m_ui->m_preview->InitPreview();
    m_session.SetFrameViewer(m_ui->m_preview);
    if (!m_session.Start()) {
        return false;
    }
    m_supportDialog = new SupportDialog(
        SupportLinks{kMakerHomePage, kMakerShop, kMakerSocialPage, kMakerVideoChannel},
        [this](const QUrl& url) { OpenWebPage(url); }, this, m_environment.supportTimings);
    m_supportDialogPending = true;
    ShowState();
    return true;
}

void MainWindow::StatusChanged() {
    ShowState();
    if (m_session.HasEnded() && !m_closed) {
        m_closed = true;
        QDialog::done(QDialog::Accepted);
    }
}

void MainWindow::ShowMessage(const SessionMessage& message) {
    m_prompts->Tell(message.caption, message.text);
}

std::optional<bool> MainWindow::Ask(const SessionQuestion& question) {
    return m_prompts->AskOkCancel(question.caption, question.text);
}

void MainWindow::StopWaiting() {
    m_prompts->StopWaiting();
    CloseOpenDialogs();
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

void MainWindow::reject() {
    m_session.Exit();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        OpenWebPage(kHelpPage);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        m_session.Exit();
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
    AboutDialog about(QStringLiteral(SKYFILL_VERSION), QString::fromLatin1(kReleaseDate),
                      m_session.RuntimeVersion(), this);
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

void MainWindow::RunCommand(WindowCommand command) {
    switch (command) {
    case WindowCommand::Help:
        OpenWebPage(kHelpPage);
        break;
    case WindowCommand::SaveDefaults:
        m_session.SaveDefaults();
        break;
    case WindowCommand::LoadPresets:
        // "*" and not "*.*": on Linux many names have no dot. A preset folder not yet made
        // leaves the dialog in its own default place.
        m_session.LoadPresets(QFileDialog::getOpenFileName(
            this, QStringLiteral("Load Presets file"), QFile::decodeName(m_session.PresetFolder()),
            QStringLiteral("Preset Files (*.skf);;All Files (*)")));
        break;
    case WindowCommand::About:
        ShowAbout();
        break;
    }
}
