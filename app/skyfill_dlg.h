#pragma once

#include "app/generator_state.h"
#include "dialogs/ad_dialog.h"
#include "ndi/ndi_output.h"
#include "ndi/ndi_runtime.h"
#include "ndi/output_seams.h"
#include "render/image_buffer.h"

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>

namespace Ui {
class CSkyfillDlg;
}
class BusLink;
class ColourButton;
class QButtonGroup;
class QLabel;
class QMenu;
class UserPrompts;

// What one run of the window depends on from outside; tests replace parts of it.
struct SkyfillEnvironment {
    NdiRuntime runtime = StandInNdiRuntime();
    // Message boxes; null means real ones owned by the window.
    UserPrompts* prompts = nullptr;
    // The coordination link; null means the session bus, unless `alone`.
    BusLink* bus = nullptr;
    // Runs as the only copy, with no coordination link at all.
    bool alone = false;
    uint32_t processId = 0;
    std::function<void(const QUrl&)> openUrl;
    // -1 draws at random, as a real start does.
    int32_t startupDraw = -1;
    // Writes the settled title to standard error, for a copy nobody can see.
    bool announceTitle = false;
    // How long the support window stays; tests shorten it.
    SupportTimings supportTimings;
};

// The main window: owns every piece of state, the NDI output and the timers.
class CSkyfillDlg : public QDialog,
                    public GeneratorState,
                    private FrameProducer,
                    private ReconfigureSteps {
    Q_OBJECT
public:
    // Timer ids of the window's clock.
    enum TimerId { kSettleTimer = 1, kRotationTimer = 2, kLogoTimer = 3, kLogoLateTimer = 4 };
    // Context-menu commands (the items Linux gives no system menu for).
    enum SystemCommand { kAboutCommand = 16, kSaveDefaults = 32, kLoadPresets = 64, kHelp = 128 };

    explicit CSkyfillDlg(SkyfillEnvironment environment, QWidget* parent = nullptr);
    ~CSkyfillDlg() override;

    // Start-up. False when the NDI runtime cannot run: the user has been told and the
    // window holds nothing that needs the runtime.
    bool OnInitDialog();
    // The exit step: asks "OK to exit?" and, on OK, shuts down in order and closes.
    void OnOK();
    bool HasEnded() const { return m_ended; }

    // Control handlers, callable as the controls call them.
    void OnResolutionChosen(int commandId);
    void OnFrameRateChosen(int commandId);
    void OnCloudSetChosen(int commandId);
    void OnColourPicked(int corner, uint32_t buttonValue);
    void OnRadioGroup();
    void OnCloudCheck();
    void OnPreviewCheck();
    void OnRotationSlider();
    void OnCloudSlider();
    void OnSystemCommand(int command);
    void OnTimer(int timerId);
    void OnBusPost(int command, qint64 argument);
    void OnStart();
    void OnStop();

    void UpdateStatusLine();
    void ApplySlot(int32_t index);

    // Presets and preset files.
    void StoreCurrentSlot();
    bool SavePresetFile(const QString& fileName);
    bool LoadPresetFile(const QString& fileName);
    // "default.skf", or the built-in slots when it cannot be loaded.
    void LoadStartupPresets();
    void OnPresetRadio(int slot);
    void OnPaste();
    void OnLoadLast();
    void OnSaveDefaults();
    void OnLoadPresetsFromFile(const QString& chosenPath);
    // Leaves without asking, keeping the settings in "last.skf" (a termination signal).
    void ShutDownNow();
    // Alpha mask.
    void OnLoadAlphaMask(const QString& chosenPath);
    void OnUseMask();
    void OnMaskSwitches();
    void OnRevealAlpha();
    void OnFlipMask(bool horizontal);
    // The mask picture's full path as preset files store it; empty when none.
    QString MaskFilePath() const { return QString::fromStdString(m_maskImage.m_filePath); }
    QLabel* BitmapStatic() { return m_bitmapStatic; }

    // The window's pictures.
    ImageBuffer m_logoImage;
    ImageBuffer m_cloudImage[2];
    ImageBuffer m_cloudImageFlipped[2];
    ImageBuffer m_maskImage;
    void OpenWebPage(const QUrl& address);

    // For tests and the tools that look at the window.
    Ui::CSkyfillDlg& Controls() { return *m_ui; }
    NdiOutput* Output() { return m_output.get(); }
    bool TimerRunning(int timerId) const;
    QMenu* SystemMenu() { return m_systemMenu; }
    AdDialog* SupportDialog() { return m_supportDialog; }
    QRect WindowRect() const { return m_windowRect; }

    static const QUrl kMakerHomePage;
    static const QUrl kMakerShop;
    static const QUrl kMakerSocialPage;
    static const QUrl kMakerVideoChannel;
    static const QUrl kHelpPage;
    static const QUrl kNdiHomePage;

protected:
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Escape and the window's close button both end up here: ask first.
    void reject() override;

private:
    // FrameProducer: runs on the sending thread.
    void RenderFrame(FramePass& pass) override;
    // ReconfigureSteps: run on this thread while the sending thread is stopped.
    void ShowOutputLine(const char* text) override;
    void RescalePictures(int32_t width, int32_t height) override;
    void RenderOnePicture(uint8_t* store, int32_t width, int32_t height) override;
    void ApplyMask(uint8_t* store, int32_t width, int32_t height) override;

    void SetUpControls();
    void SetUpMenus();
    void CreatePictureStatics();
    void ReconfigureOutput();
    void ReportSenderFailure();
    void SettleInstance();
    void EndLogo();
    void SetTimer(int timerId, int milliseconds);
    void KillTimer(int timerId);
    void ShowButtonStates(const SendButtonStates& states);
    void ShowAbout();
    void ShowColours(const ColourRecord (&colours)[4]);
    void PullRadioGroups();
    void RenderStillPicture(uint8_t* store, int32_t width, int32_t height);
    void ApplyMaskSettings();
    void SetOutputAlphaType();
    void TakeMaskPath(const QString& path);
    void LoadMask(const QString& path, std::string title);
    void LoadPictures();
    void ShowBitmapInBox(const PixelPicture& picture, bool revealAlpha);
    void FitMaskToOutput();
    void WriteMaskAlpha(uint8_t* store, int32_t width, int32_t height, bool useMask);
    void ApplyPendingAlpha(uint8_t* store, int32_t width, int32_t height);
    void ShutDown();
    void CloseOpenDialogs();
    int32_t DrawStartupNumber();

    std::unique_ptr<Ui::CSkyfillDlg> m_ui;
    SkyfillEnvironment m_environment;
    std::unique_ptr<UserPrompts> m_ownPrompts;
    UserPrompts* m_prompts = nullptr;
    BusLink* m_bus = nullptr;
    bool m_runtimeInitialised = false;
    std::unique_ptr<NdiOutput> m_output;

    ColourButton* m_colourButton[4] = {};
    QButtonGroup* m_rotationGroup = nullptr;
    QButtonGroup* m_fillGroup = nullptr;
    QButtonGroup* m_presetGroup = nullptr;
    QMenu* m_systemMenu = nullptr;
    QLabel* m_bitmapFrame = nullptr;
    QLabel* m_bitmapStatic = nullptr;

    QString m_versionText;
    QString m_releaseDateText;
    int32_t m_initialWindowBottom = 0;
    // Alpha writes asked for while sending are done by the sending thread between two
    // renders; the lock guards the mask picture and the request.
    std::mutex m_maskLock;
    bool m_alphaPending = false;
    bool m_alphaPendingUseMask = false;
    bool m_alphaPendingInvert = false;
    bool m_alphaPendingOwnAlpha = false;
    int m_timerHandles[5] = {};
    AdDialog* m_supportDialog = nullptr;
    int32_t m_supportDialogPending = 0;
    QRect m_windowRect;
    bool m_ended = false;
    // Set from the first step of the exit on, so nothing can start it a second time.
    bool m_shuttingDown = false;
    bool m_senderFailureReported = false;
};
