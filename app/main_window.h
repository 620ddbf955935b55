#pragma once

#include "dialogs/support_dialog.h"
#include "session/session_face.h"

#include <QDialog>
#include <QRect>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
class CopySession;
class QButtonGroup;
class QLabel;
class QAction;
class QMenu;
class UserPrompts;

// What the window depends on from outside; tests replace parts of it.
struct WindowEnvironment {
    // Message boxes; null means real ones owned by the window.
    UserPrompts* prompts = nullptr;
    std::function<void(const QUrl&)> openUrl;
    // How long the support window stays; tests shorten it.
    SupportTimings supportTimings;
};

// The commands of the window's context menu.
enum class WindowCommand { SaveDefaults, LoadPresets, Help, About };

// The main window: a face of one copy's session. Its controls send the session
// commands, and it shows the session's state whenever that changes; the session's
// messages and questions become message boxes.
class MainWindow : public QDialog, private SessionFace {
    Q_OBJECT
public:
    // `session` outlives the window.
    MainWindow(CopySession& session, WindowEnvironment environment, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Starts the session under the window. False when the NDI runtime cannot run: the
    // user has been told.
    bool Start();
    void RunCommand(WindowCommand command);
    void OpenWebPage(const QUrl& address);

    // The window's parts, for tests.
    Ui::MainWindow& Controls() { return *m_ui; }
    QMenu* SystemMenu() { return m_systemMenu; }
    SupportDialog* SupportWindow() { return m_supportDialog; }
    QLabel* BitmapStatic() { return m_bitmapStatic; }
    QRect WindowRect() const { return m_windowRect; }

    static const QUrl kMakerHomePage;
    static const QUrl kMakerShop;
    static const QUrl kMakerSocialPage;
    static const QUrl kMakerVideoChannel;
    static const QUrl kHelpPage;
    static const QUrl kNdiHomePage;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Escape and the window's close button both end up here: ask first.
    void reject() override;

private:
    // SessionFace.
    void StatusChanged() override;
    void ShowMessage(const SessionMessage& message) override;
    std::optional<bool> Ask(const SessionQuestion& question) override;
    void StopWaiting() override;

    void SetUpControls();
    void SetUpChoices();
    void SetUpMenus();
    void CreatePictureStatics();
    void ShowState();
    void ShowBox();
    void ShowLinkIcons();
    void ShowAbout();
    void CloseOpenDialogs();

    CopySession& m_session;
    std::unique_ptr<Ui::MainWindow> m_ui;
    WindowEnvironment m_environment;
    std::unique_ptr<UserPrompts> m_ownPrompts;
    UserPrompts* m_prompts = nullptr;

    QButtonGroup* m_rotationGroup = nullptr;
    QButtonGroup* m_fillGroup = nullptr;
    QButtonGroup* m_presetGroup = nullptr;
    QMenu* m_systemMenu = nullptr;
    QAction* m_uyvyAction = nullptr;
    QLabel* m_bitmapFrame = nullptr;
    QLabel* m_bitmapStatic = nullptr;
    int m_shownBoxChanges = -1;

    SupportDialog* m_supportDialog = nullptr;
    bool m_supportDialogPending = false;
    QRect m_windowRect;
    bool m_closed = false;
};
