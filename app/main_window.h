#pragma once

#include "app/instance_coordination.h"
#include "app/output_link.h"
#include "app/start_options.h"
#include "dialogs/support_dialog.h"
#include "engine/generator.h"
#include "ndi/ndi_output.h"
#include "ndi/ndi_runtime.h"
#include "ndi/sender_setup.h"
#include "presets/preset_block.h"

#include <QDialog>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
class BusLink;
class ColourButton;
class CopyControl;
struct ControlReply;
class QButtonGroup;
class QLabel;
class QMenu;
class UserPrompts;
enum class WindowCommand;

// What one run of the window depends on from outside; tests replace parts of it.
struct WindowEnvironment {
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
    // Nobody can see the window: the settled title goes to standard error, and no
    // frame is converted for the preview.
    bool headless = false;
    // How long the support window stays; tests shorten it.
    SupportTimings supportTimings;
    // The command line's choices for the start.
    StartOptions start;
};

// The main window: maps its controls to the generator's settings and shows the
// generator's, the output's and the copies' state.
class MainWindow : public QDialog {
    Q_OBJECT
public:
    explicit MainWindow(WindowEnvironment environment, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up. False when the NDI runtime cannot run: the user has been told and the
    // window holds nothing that needs the runtime.
    bool Start();
    // The exit step: asks "OK to exit?" and, on OK, shuts down in order and closes.
    void OnOK();
    bool HasEnded() const { return m_ended; }
    // Ended because all eight copy numbers were taken: nothing was ever published.
    bool EndedWithoutNumber() const { return m_endedWithoutNumber; }
    // Leaves without asking, keeping the settings in "last.skf" (a termination signal).
    void ShutDownNow();

    // Control handlers, callable as the controls call them. Menu items by their index
    // in the menu tables; -1 is a menu closed without a choice.
    void OnResolutionChosen(int item);
    void OnFrameRateChosen(int item);
    void OnCloudSetChosen(int item);
    void OnColourPicked(int corner, uint32_t buttonValue);
    void OnRadioGroup();
    void OnCloudCheck();
    void OnPreviewCheck();
    void OnRotationSlider();
    void OnCloudSlider();
    void OnWindowCommand(WindowCommand command);
    void OnBusPost(int command, qint64 argument);
    void OnStart();
    void OnStop();
    // The timers' steps.
    void OnSettleTimer();
    void OnRotationTimer();
    void OnLogoTimer();
    void OnLogoLateTimer();

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
    // True when the file was taken.
    bool OnLoadPresetsFromFile(const QString& chosenPath);
    // Alpha mask.
    void OnLoadAlphaMask(const QString& chosenPath);
    void OnUseMask();
    void OnMaskSwitches();
    void OnRevealAlpha();
    void OnFlipMask(bool horizontal);
    // The mask picture's full path as preset files store it; empty when none.
    QString MaskFilePath() const;
    void OpenWebPage(const QUrl& address);

    // This copy alone, as the bus calls it (app/copy_control.h). Each refusal leaves
    // the copy as it was; none opens a message box.
    QVariantMap RemoteStatus() const;
    ControlReply RemoteStart();
    ControlReply RemoteStop();
    // Slot 1 to 5.
    ControlReply RemoteSelectSlot(int32_t slot);
    ControlReply RemoteLoadPresets(const QString& path);
    // A size the resolution menu takes and a rate of "25", "29.97" or "30".
    ControlReply RemoteSetOutput(int32_t width, int32_t height, const QString& rate);
    // Something the status shows may have changed: the bus hears of it once, after the
    // handler in progress, if it did.
    void NoteStatusChange();

    // State, for tests and the tools that look at the window.
    const GeneratorSettings& Settings() const { return m_generator.Settings(); }
    Generator& Engine() { return m_generator; }
    const OutputFormat& Format() const { return m_format; }
    PresetBlock& Presets() { return m_presets; }
    int32_t LastAppliedSlot() const { return m_lastAppliedSlot; }
    const CopyNumbering& Numbering() const { return m_numbering; }
    bool Sending() const { return m_output && m_output->IsSending(); }
    // 0 off, 1 the next frame once, 2 every frame (as preset files keep it).
    int32_t PreviewMode() const;
    Ui::MainWindow& Controls() { return *m_ui; }
    NdiOutput* Output() { return m_output.get(); }
    const QTimer& SettleTimer() const { return m_settleTimer; }
    const QTimer& RotationTimer() const { return m_rotationTimer; }
    const QTimer& LogoTimer() const { return m_logoTimer; }
    const QTimer& LogoLateTimer() const { return m_logoLateTimer; }
    QMenu* SystemMenu() { return m_systemMenu; }
    SupportDialog* SupportWindow() { return m_supportDialog; }
    QRect WindowRect() const { return m_windowRect; }
    QLabel* BitmapStatic() { return m_bitmapStatic; }

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
    void Apply(const GeneratorSettings& settings) { m_generator.Apply(settings); }
    void SetUpControls();
    void SetUpMenus();
    void SetUpTimers();
    void CreatePictureStatics();
    void ReconfigureOutput();
    void ReportSenderFailure();
    void ShowButtonStates(const SendButtonStates& states);
    void ShowAbout();
    void ShowColours(const ColourRecord (&colours)[4]);
    void PullRadioGroups();
    void ApplyMaskSettings();
    void SetOutputAlphaType();
    void TakeMaskPath(const QString& path);
    void LoadMask(const QString& path, std::string title);
    void LoadPictures();
    void ShowBitmapInBox(const PixelPicture& picture, bool revealAlpha);
    void FitMaskToOutput();
    void EndLogo();
    void ShutDown();
    void CloseOpenDialogs();
    int32_t DrawStartupNumber();
    bool MarkDirtyIfSending();
    void SetUpRemoteControl();
    void AnnounceStatusChange();
    ControlReply RemoteRefusal() const;

    std::unique_ptr<Ui::MainWindow> m_ui;
    WindowEnvironment m_environment;
    std::unique_ptr<UserPrompts> m_ownPrompts;
    UserPrompts* m_prompts = nullptr;
    BusLink* m_bus = nullptr;

    Generator m_generator;
    OutputFormat m_format{1280, 720, 30000, 1200};
    PresetBlock m_presets{};
    int32_t m_lastAppliedSlot = 0;
    CopyNumbering m_numbering;
    int32_t m_startupDraw = 0;

    bool m_runtimeInitialised = false;
    OutputLink m_outputLink;
    std::unique_ptr<NdiOutput> m_output;

    QTimer m_settleTimer;
    QTimer m_rotationTimer;
    QTimer m_logoTimer;
    QTimer m_logoLateTimer;

    ColourButton* m_colourButton[4] = {};
    QButtonGroup* m_rotationGroup = nullptr;
    QButtonGroup* m_fillGroup = nullptr;
    QButtonGroup* m_presetGroup = nullptr;
    QMenu* m_systemMenu = nullptr;
    QLabel* m_bitmapFrame = nullptr;
    QLabel* m_bitmapStatic = nullptr;

    QString m_versionText;
    QString m_releaseDateText;
    SupportDialog* m_supportDialog = nullptr;
    bool m_supportDialogPending = false;
    QRect m_windowRect;
    bool m_ended = false;
    bool m_endedWithoutNumber = false;
    // Set from the first step of the exit on, so nothing can start it a second time.
    bool m_shuttingDown = false;
    bool m_senderFailureReported = false;

    // Null without a bus.
    CopyControl* m_control = nullptr;
    QTimer m_statusTimer;
    // As StatusChanged last told it, without the frame count.
    QVariantMap m_announcedStatus;
};
