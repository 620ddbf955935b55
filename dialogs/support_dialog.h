#pragma once

#include <QDialog>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

namespace Ui {
class SupportDialog;
}
class QLabel;

// The maker's pages the support window's buttons and pictures lead to.
struct SupportLinks {
    QUrl homePage;
    QUrl onlineStore;
    QUrl socialPage;
    QUrl videoChannel;
};

// How long the support window stays: the first period runs out, then the second
// hides it.
struct SupportTimings {
    int firstMs = 9000;
    int secondMs = 10531;
};

// The support window shown beside the main window at start-up, with the support picture.
// It hides itself after its two periods and is kept (hidden) until the program ends.
class SupportDialog : public QDialog {
    Q_OBJECT
public:
    SupportDialog(SupportLinks links, std::function<void(const QUrl&)> openUrl,
                  QWidget* parent = nullptr, SupportTimings timings = {});
    ~SupportDialog() override;

    // Window set-up, once: the picture box with the picture, and the first period
    // starts. Later calls do nothing.
    void Prepare();

    // The first showing: prepares the window, moves `mainWindow` and this window as
    // PlaceSupportBeside says for the main window's screen, and shows this window.
    // Where the window system places windows itself the moves are only requests.
    void ShowBeside(QWidget& mainWindow);

    bool FirstTimerRunning() const { return m_firstTimer.isActive(); }
    bool HideTimerRunning() const { return m_hideTimer.isActive(); }
    Ui::SupportDialog& Controls() { return *m_ui; }
    // Null before Prepare.
    QLabel* PictureBox() const { return m_pictureBox; }

private:
    void Open(const QUrl& address);

    std::unique_ptr<Ui::SupportDialog> m_ui;
    SupportLinks m_links;
    std::function<void(const QUrl&)> m_openUrl;
    SupportTimings m_timings;
    QLabel* m_pictureBox = nullptr;
    QTimer m_firstTimer;
    QTimer m_hideTimer;
};
