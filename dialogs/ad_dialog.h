#pragma once

#include <QDialog>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class AdDialog;
}
class QLabel;

// The maker's pages the support window's buttons and pictures lead to.
struct SupportLinks {
    QUrl homePage;
    QUrl onlineStore;
    QUrl socialPage;
    QUrl videoChannel;
};

// How long the support window stays: timer 1 runs out, then timer 2 hides it.
struct SupportTimings {
    int firstMs = 9000;
    int secondMs = 10531;
};

// The support window shown beside the main window at start-up. It hides itself after
// its two timers and is kept (hidden) until the program ends.
class AdDialog : public QDialog {
    Q_OBJECT
public:
    enum TimerId { kFirstTimer = 1, kHideTimer = 2 };

    AdDialog(SupportLinks links, std::function<void(const QUrl&)> openUrl,
             QWidget* parent = nullptr, SupportTimings timings = {});
    ~AdDialog() override;

    // The picture the window shows; start-up also uses it as the alternative logo.
    int32_t m_pictureId = 190;
    // The picture is shown for display modes 3, 4, 8 and 9.
    int32_t m_displayMode = 3;

    // Window set-up, once: the picture box with the picture (for the modes that show
    // it) and timer 1. Later calls do nothing.
    void OnInitDialog();

    // The first showing: sets the window up, moves `mainWindow` and this window as
    // PlaceSupportBeside says for the main window's screen, and shows this window.
    // Where the window system places windows itself the moves are only requests.
    void ShowBeside(QWidget& mainWindow);

    bool TimerRunning(int timerId) const;
    Ui::AdDialog& Controls() { return *m_ui; }
    // Null before OnInitDialog.
    QLabel* PictureBox() const { return m_pictureBox; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void SetTimer(int timerId, int milliseconds);
    void KillTimer(int timerId);
    void Open(const QUrl& address);

    std::unique_ptr<Ui::AdDialog> m_ui;
    SupportLinks m_links;
    std::function<void(const QUrl&)> m_openUrl;
    SupportTimings m_timings;
    QLabel* m_pictureBox = nullptr;
    bool m_initialised = false;
    int m_timerHandles[3] = {};
};
