#pragma once

#include "engine/generator.h"
#include "ndi/ndi_output.h"
#include "ndi/ndi_runtime.h"
#include "ndi/sender_setup.h"
#include "presets/preset_block.h"
#include "render/pixel_picture.h"
#include "session/command_reply.h"
#include "session/copy_link.h"
#include "session/instance_coordination.h"
#include "session/output_link.h"
#include "session/session_face.h"
#include "session/start_options.h"
#include "vocabulary/settings_vocabulary.h"

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FrameViewer;

// What one copy depends on from outside; tests replace parts of it.
struct SessionEnvironment {
    NdiRuntime runtime = StandInNdiRuntime();
    // The coordination link; null runs the copy alone, numbered by nobody but itself.
    CopyLink* link = nullptr;
    uint32_t processId = 0;
    // -1 draws at random, as a real start does.
    int32_t startupDraw = -1;
    StartOptions start;
};

// Whether the controls that depend on sending can be used: Start, Stop, and the
// output size and rate together.
struct SendingControls {
    bool start = true;
    bool stop = false;
    bool format = true;
    friend bool operator==(const SendingControls&, const SendingControls&) = default;
};

// The output picture as a JPEG file, or why there is none.
struct OutputSnapshot {
    CommandReply reply;
    int32_t width = 0;
    int32_t height = 0;
    QByteArray jpeg{};
};

// One copy of Skyfill, without any widget: the generator and its pictures, the output
// and its sender, the preset slots and files, the mask, the copy number, the timers
// and the exit step. Faces (the window, the bus interface, a headless copy's standard
// error) send it commands and show its state; it tells them through SessionFace.
// Everything runs on the thread that owns it, but for the frames the output's sending
// thread draws.
class CopySession {
public:
    explicit CopySession(SessionEnvironment environment);
    ~CopySession();
    CopySession(const CopySession&) = delete;
    CopySession& operator=(const CopySession&) = delete;

    // Faces are told in the order they were attached; the first that can ask answers
    // the questions. A face detaches before it goes.
    void AttachFace(SessionFace& face);
    void DetachFace(SessionFace& face);
    // Null shows nothing (no window to show frames in).
    void SetFrameViewer(FrameViewer* viewer);

    // Start-up. False when the NDI runtime cannot run: the user has been told and the
    // session holds nothing that needs the runtime.
    bool Start();

    // Commands. Those another program may send take its Caller.
    CommandReply StartSending(Caller caller = Caller::User);
    CommandReply StopSending(Caller caller = Caller::User);
    // Stores the active slot, then makes `slot` (0-based) the active one and applies it.
    CommandReply SelectSlot(int32_t slot, Caller caller = Caller::User);
    void StoreSlot();
    // The slot applied before the active one is copied into it.
    void Paste();
    void LoadLast();
    void SaveDefaults();
    CommandReply LoadPresets(const QString& path, Caller caller = Caller::User);
    bool SavePresets(const QString& path);
    // An empty path is a cancelled choice.
    void LoadMask(const QString& path);
    void SetMaskSwitches(bool useMask, bool invert, bool ownAlpha);
    void SetRevealAlpha(bool reveal);
    void FlipMask(bool horizontal);
    // A colour button's value (red in the low byte) for corner 0..3.
    void SetColour(int corner, uint32_t buttonValue);
    void SetFillPattern(FillPattern pattern);
    void SetRotation(Rotation rotation);
    void SetRotationSlider(int32_t position);
    void SetClouds(bool on);
    // -1 is a menu closed without a choice.
    void SetCloudSet(int item);
    void SetCloudSpeed(int32_t speed);
    void SetPreview(bool on);
    // Items of the output tables; one not taken, or -1, re-configures the current format.
    void ChooseSize(int item);
    void ChooseRate(int item);
    // A taken size and a rate by its name ("25", "29.97", "30" or with the menu's "p").
    CommandReply SetOutput(int32_t width, int32_t height, const QString& rate,
                           Caller caller = Caller::Program);
    // "bgrx" or "uyvy": the pixels sent while the mask is not in use. Takes effect with
    // the next frame, sending or not.
    CommandReply SetPixelFormat(const QString& name, Caller caller = Caller::User);
    // The output picture at most `maxWidth` wide, for another program; one request at a
    // time, a new one replacing the last. While sending, the sending thread samples its
    // next frame and TakeSnapshot, polled, gives the picture once it is there; while
    // not, the picture the copy holds is taken at once.
    CommandReply RequestSnapshot(int32_t maxWidth);
    // The picture asked for, or a refusal; nothing while its frame is still to come.
    std::optional<OutputSnapshot> TakeSnapshot();
    // Gives the request up.
    void DropSnapshot();
    // Why a copy ends, as its log says.
    enum class ExitReason { Chosen, NoNumber };
    // The exit step: asks "OK to exit?" and, on OK, shuts down in order.
    void Exit(ExitReason reason = ExitReason::Chosen);
    // Leaves without asking, keeping the settings in "last.skf"; `reason` names the
    // termination signal.
    void ShutDownNow(const std::string& reason = "termination signal");
    // A coordination message from the link.
    void OnPost(int32_t command, int64_t argument);

    // The timers' steps, as the timers run them.
    void SettleNumber();
    void RotationTick();
    void LogoTick();
    void LogoLateTick();

    // State, as the faces show it.
    const GeneratorSettings& Settings() const { return m_generator.Settings(); }
    const OutputFormat& Format() const { return m_format; }
    // Whether a size and a rate were ever chosen (the menus name them only then).
    bool SizeChosen() const { return m_sizeChosen; }
    bool RateChosen() const { return m_rateChosen; }
    const PresetBlock& Presets() const { return m_presets; }
    int32_t LastAppliedSlot() const { return m_lastAppliedSlot; }
    PreviewMode Preview() const;
    // Whether the preview's switch is on, as the user or the last slot applied set it
    // (a slot's "once" mode turns it on too).
    bool PreviewSwitch() const { return m_previewSwitch; }
    bool Sending() const { return m_output && m_output->IsSending(); }
    // UYVY chosen for output without the mask.
    bool Uyvy() const { return m_uyvy; }
    // "BGRX", "BGRA" or "UYVY": what the output sends now.
    const char* FourCCText() const;
    SendingControls Controls() const;
    // The corner colours as the colour buttons show them.
    const ColourRecord (&ShownColours() const)[4] { return m_shownColours; }
    const QString& StatusLine() const { return m_statusLine; }
    // "1280 x 720 - 25.00 fps"; empty before the first re-configure.
    const QString& OutputLine() const { return m_outputLine; }
    // 1 to 8 once settled (and, on a bus, held); 0 before.
    int32_t CopyNumber() const;
    QString SourceName() const;
    // The mask file's path, and how the window's label names it.
    QString MaskFilePath() const;
    const QString& MaskLabel() const { return m_maskLabel; }
    // The picture box's view (the logo, or the mask), and a count of its changes.
    const PixelPicture& BoxView() const { return m_boxView; }
    int BoxViewChanges() const { return m_boxViewChanges; }
    // Where "default.skf" and "last.skf" are kept: the folder the start options name, else
    // the user's configuration folder, which need not exist before the first save.
    QByteArray PresetFolder() const;
    // The runtime's own version text; empty when it did not start.
    QString RuntimeVersion() const;
    bool HasEnded() const { return m_ended; }
    // Ended because all eight copy numbers were taken: nothing was ever published.
    bool EndedWithoutNumber() const { return m_endedWithoutNumber; }
    // The exit's save of the settings to "last.skf" failed: they are lost.
    bool ExitSaveFailed() const { return m_exitSaveFailed; }
    uint64_t FramesSent() const { return m_output ? m_output->FramesSent() : 0; }

    // The parts below, for tests that look inside.
    Generator& Engine() { return m_generator; }
    NdiOutput* Output() { return m_output.get(); }
    const CopyNumbering& Numbering() const { return m_numbering; }
    const QTimer& SettleTimer() const { return m_settleTimer; }
    const QTimer& RotationTimer() const { return m_rotationTimer; }
    const QTimer& LogoTimer() const { return m_logoTimer; }
    const QTimer& LogoLateTimer() const { return m_logoLateTimer; }

private:
    class Command;
    friend class Command;

    void Changed();
    void Tell(const QString& caption, const QString& text,
              SessionMessage::Kind kind = SessionMessage::Kind::Information);
    bool AskFaces(const SessionQuestion& question);
    CommandReply ProgramRefusal() const;

    void Apply(const GeneratorSettings& settings) { m_generator.Apply(settings); }
    // Edits the settings, then shows them as every control of the look does.
    void ChangeLook(const std::function<void(GeneratorSettings&)>& edit);
    void UpdateStatusLine();
    void ApplySlot(int32_t index);
    void TakeRotationSlider(int32_t position);
    void TakeCloudSpeed(int32_t speed);
    void StoreCurrentSlot();
    // Paths as the system names files.
    QByteArray PresetFolderFile(const char* name) const;
    bool SaveInPresetFolder(const char* name);
    bool SavePresetFile(const QByteArray& path);
    void SaveLastPresets();
    bool LoadPresetFile(const QByteArray& path);
    bool LoadPresetsFromFile(const QString& path);
    void LoadStartupPresets();

    void ReconfigureOutput();
    void ReportSenderFailure();
    void SetOutputAlphaType();
    bool MarkDirtyIfSending();
    OutputSnapshot EncodeThumbnail() const;

    void LoadPictures();
    void ShowInBox(const PixelPicture& picture, bool revealAlpha);
    void TakeMaskPath(const QString& path);
    void ReadMask(const QString& path, std::string title);
    void FitMaskToOutput();
    void ApplyMaskSettings();
    void EndLogo();

    void SetUpTimers();
    int32_t DrawStartupNumber();
    void ShutDown(const std::string& reason);

    SessionEnvironment m_environment;
    std::vector<SessionFace*> m_faces;
    // Messages go here instead of to the faces while another program's command runs.
    QStringList* m_heldMessages = nullptr;
    int m_commandDepth = 0;
    bool m_changed = false;

    Generator m_generator;
    OutputLink m_outputLink{m_generator};
    OutputFormat m_format;
    bool m_uyvy = false;
    bool m_sizeChosen = false;
    bool m_rateChosen = false;
    PresetBlock m_presets{};
    int32_t m_lastAppliedSlot = 0;
    CopyNumbering m_numbering;
    bool m_numberSettled = false;
    bool m_numberHeldOnBus = false;
    int32_t m_startupDraw = 0;
    ColourRecord m_shownColours[4]{};
    bool m_previewSwitch = false;
    QString m_statusLine;
    QString m_outputLine;
    QString m_maskLabel;
    PixelPicture m_boxView;
    int m_boxViewChanges = 0;

    bool m_runtimeInitialised = false;
    std::unique_ptr<NdiOutput> m_output;
    bool m_senderFailureReported = false;
    // The format the log last named, so only changes are logged.
    std::string m_loggedFormat;
    // The snapshot asked for (0: none), and whether the sending thread was asked for it.
    int32_t m_snapshotWidth = 0;
    bool m_snapshotAsked = false;

    QTimer m_settleTimer;
    QTimer m_rotationTimer;
    QTimer m_logoTimer;
    QTimer m_logoLateTimer;

    bool m_ended = false;
    bool m_endedWithoutNumber = false;
    bool m_exitSaveFailed = false;
    // Set from the first step of the exit on, so nothing can start it a second time.
    bool m_shuttingDown = false;
};
