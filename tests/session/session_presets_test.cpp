// Preset slots and preset files as the session uses them, in a fresh working directory
// for each test.

#include "presets/preset_file.h"
#include "tests/session/session_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace {

class SessionPresetsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.Valid()); }
    void TearDown() override { copy.reset(); }

    // A new copy in place of the last one, as a second run of the program, keeping its
    // presets in `presetFolder`.
    CopySession& Start() {
        copy.reset();
        SessionEnvironment environment = AloneSession(77);
        environment.start.presetFolder = presetFolder;
        copy = std::make_unique<SessionFixture>(std::move(environment));
        EXPECT_TRUE(copy->StartAndSettle());
        return copy->session;
    }
    ScriptedFace& Face() { return copy->face; }

    static QByteArray Read(const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray BlockBytes(const PresetBlock& block) {
        return QByteArray(reinterpret_cast<const char*>(&block), sizeof block);
    }
    static QString Here(const QString& name) { return QDir::current().absoluteFilePath(name); }

    WorkFolder folder;
    // The working folder unless a test chooses another; empty is the user's.
    QByteArray presetFolder = QFile::encodeName(folder.Path());
    std::unique_ptr<SessionFixture> copy;
};

// Sets an environment variable (or unsets it, given nothing) while it lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, std::optional<QByteArray> value)
        : m_name(name), m_was(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedVariable() { m_was ? qputenv(m_name, m_old) : qunsetenv(m_name); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    bool m_was;
    QByteArray m_old;
};

int ModeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return static_cast<int>(info.st_mode & 07777);
}

// Neither the start nor a load makes the folder; the first save makes each missing
// folder on the way private, and from then on it is the copies' own.
TEST_F(SessionPresetsTest, TheUserConfigFolderIsWhereXdgSaysAndIsMadePrivateByTheFirstSave) {
    const QString config = folder.Path() + "/config";
    const QString skyfill = config + "/skyfill";
    const ScopedVariable xdg("XDG_CONFIG_HOME", QFile::encodeName(config));
    presetFolder.clear();
    CopySession& first = Start();
    first.LoadLast();
    EXPECT_FALSE(QFileInfo::exists(config));
    first.SaveDefaults();
    EXPECT_EQ(Face().told.last(), QStringLiteral("Save File|Current presets saved as defaults"));
    EXPECT_EQ(ModeOf(config), 0700);
    EXPECT_EQ(ModeOf(skyfill), 0700);
    EXPECT_EQ(Read(skyfill + "/default.skf").size(), 176);
    EXPECT_EQ(first.PresetFolder(), QFile::encodeName(skyfill));

    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 2;
    ASSERT_TRUE(
        SavePresetBytes(QFile::encodeName(skyfill + "/default.skf").toStdString(), block, u"")
            .saved);
    CopySession& second = Start();
    EXPECT_EQ(second.Presets().m_presetSlot, 2);
    second.ShutDownNow();
    EXPECT_EQ(Read(skyfill + "/last.skf").mid(8), BlockBytes(block));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("default.skf"))); // the working folder's
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("last.skf")));

    // An unset, empty or relative XDG_CONFIG_HOME all mean $HOME/.config.
    const std::optional<QByteArray> unset;
    for (const std::optional<QByteArray>& value :
         {unset, std::optional<QByteArray>(""), std::optional<QByteArray>("relative/config")}) {
        const QString home = folder.Path() + "/home" + (value ? *value : "unset");
        ASSERT_TRUE(QDir().mkpath(home));
        const ScopedVariable homeVariable("HOME", QFile::encodeName(home));
        const ScopedVariable xdgVariable("XDG_CONFIG_HOME", value);
        Start().SaveDefaults();
        EXPECT_EQ(Read(home + "/.config/skyfill/default.skf").size(), 176) << qPrintable(home);
        EXPECT_EQ(ModeOf(home + "/.config"), 0700);
    }
}

// A folder given on the command line was there at the start; the copy never makes it.
TEST_F(SessionPresetsTest, AGivenFolderIsNeverMade) {
    const QString gone = folder.Path() + "/gone";
    presetFolder = QFile::encodeName(gone);
    CopySession& s = Start();
    s.SaveDefaults();
    s.ShutDownNow();
    EXPECT_TRUE(s.ExitSaveFailed());
    EXPECT_FALSE(QFileInfo::exists(gone));
}

TEST_F(SessionPresetsTest, SaveDefaultsRightAfterAFirstStartWritesTheKnownBytes) {
    CopySession& s = Start();
    s.SaveDefaults();
    EXPECT_EQ(Face().told,
              QStringList{QStringLiteral("Save File|Current presets saved as defaults")});
    const QByteArray bytes = Read(QStringLiteral("default.skf"));
    ASSERT_EQ(bytes.size(), 176);
    EXPECT_EQ(bytes.left(8), QByteArray("KOVSKCF1"));
    EXPECT_EQ(bytes.mid(8, 32).toHex(' '),
              QByteArray("bd b5 00 ff bf 00 c6 ff 00 b9 be ff 00 00 cc ff 00 00 00 00 00 00 00 "
                         "00 01 00 00 00 32 00 00 00"));
    EXPECT_EQ(bytes.mid(8), BlockBytes(DefaultPresetBlock()));
    EXPECT_FALSE(QFile::exists(QStringLiteral("last.skf"))); // only read, never written, at start
}

TEST_F(SessionPresetsTest, SlotsStoreTheLiveSettingsAndPasteCopiesWholeRecords) {
    CopySession& s = Start();
    s.Paste(); // right after start-up: nothing to paste
    EXPECT_EQ(BlockBytes(s.Presets()), BlockBytes(DefaultPresetBlock()));

    s.SetFillPattern(FillPattern::VerticalSplit);
    s.SetRotationSlider(200);
    s.SetCloudSpeed(-2);
    s.SelectSlot(2); // slot "3"
    EXPECT_EQ(s.Presets().m_presetSlots[0].fillPattern, 2);
    EXPECT_EQ(s.Settings().fillPattern, 2); // slot "3" of the defaults is V-split too
    EXPECT_EQ(s.Settings().rotationMode, 2);
    EXPECT_EQ(s.LastAppliedSlot(), 0);
    EXPECT_EQ(s.StatusLine(),
              QStringLiteral("Vertical split - Rotating anticlockwise - plus clouds 1"));

    s.Paste(); // slot "1" as stored when it was left, all 32 bytes
    const PresetSlot& pasted = s.Presets().m_presetSlots[2];
    EXPECT_EQ(std::memcmp(&pasted, &s.Presets().m_presetSlots[0], sizeof pasted), 0);
    EXPECT_EQ(pasted.rotationSliderPosition, 200);
    EXPECT_EQ(pasted.cloudSpeed, -2);
    EXPECT_EQ(s.Settings().rotationPeriodMs, 60);
    EXPECT_EQ(s.Settings().rotationMode, 0);
}

// Choosing the slot already chosen stores what is live in it and makes it the slot last
// applied, so a paste right after has nothing to copy.
TEST_F(SessionPresetsTest, SelectingTheActiveSlotStoresItAndLeavesNothingToPaste) {
    CopySession& s = Start();
    s.SelectSlot(2);
    s.SetFillPattern(FillPattern::Quad);
    s.SelectSlot(2);
    EXPECT_EQ(s.Presets().m_presetSlots[2].fillPattern, 3);
    EXPECT_EQ(s.LastAppliedSlot(), 2);
    const QByteArray before = BlockBytes(s.Presets());
    s.Paste();
    EXPECT_EQ(BlockBytes(s.Presets()), before);
    EXPECT_EQ(s.Settings().fillPattern, 3);
}

TEST_F(SessionPresetsTest, ExitKeepsTheSettingsAndLoadLastBringsThemBack) {
    CopySession& first = Start();
    first.LoadLast(); // no "last.skf" yet: nothing happens, nothing is said
    EXPECT_TRUE(Face().told.isEmpty());
    first.SetColour(3, 0x00112233);
    first.SetFillPattern(FillPattern::Quad);
    first.SetClouds(!first.Settings().cloudsOn);
    first.StartSending();
    Face().answers = {true};
    first.Exit();
    ASSERT_EQ(Read(QStringLiteral("last.skf")).size(), 176);

    CopySession& second = Start(); // starts from the defaults, not from "last.skf"
    EXPECT_EQ(second.Settings().fillPattern, 0);
    second.LoadLast();
    EXPECT_EQ(second.Settings().fillPattern, 3);
    EXPECT_EQ(second.Settings().cloudsOn, 0);
    EXPECT_EQ(ToButtonValue(second.Settings().baseColours[3]), 0x00112233u);
    EXPECT_EQ(second.StatusLine(), QStringLiteral("Quad split - Static background - no clouds"));
    second.Paste(); // directly after a load: nothing
    EXPECT_EQ(second.Settings().fillPattern, 3);
}

// A declined exit must not have stored the live settings or written any file.
TEST_F(SessionPresetsTest, DecliningTheExitLeavesThePresetsAndTheFilesAlone) {
    ASSERT_TRUE(SavePresetBytes("default.skf", DefaultPresetBlock(), u"").saved);
    CopySession& s = Start();
    s.SetFillPattern(FillPattern::Quad); // live, not yet in the slot
    const QByteArray presets = BlockBytes(s.Presets());
    const QByteArray defaults = Read(QStringLiteral("default.skf"));

    Face().answers = {false};
    s.Exit();
    EXPECT_EQ(Face().asked, QStringList{QStringLiteral("Quit Skyfill|OK to exit?")});
    EXPECT_FALSE(s.HasEnded());
    EXPECT_EQ(BlockBytes(s.Presets()), presets);
    EXPECT_EQ(Read(QStringLiteral("default.skf")), defaults);
    EXPECT_FALSE(QFile::exists(QStringLiteral("last.skf")));
}

TEST_F(SessionPresetsTest, ALoadMakesTheFilesActiveSlotLive) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 3;
    ASSERT_TRUE(SavePresetBytes("chosen.skf", block, u"").saved);
    CopySession& s = Start();
    s.LoadPresets(Here(QStringLiteral("chosen.skf")));
    EXPECT_EQ(s.Presets().m_presetSlot, 3);
    EXPECT_EQ(s.Settings().fillPattern, 3); // slot "4": quad split, clockwise
    EXPECT_EQ(s.Settings().rotationMode, 1);
    EXPECT_EQ(s.LastAppliedSlot(), 3);

    // A damaged file is refused with its message and nothing changes.
    WriteFile(QStringLiteral("damaged.skf"), QByteArray("KOVSKCF1") + QByteArray(40, '\x07'));
    const QByteArray before = BlockBytes(s.Presets());
    s.LoadPresets(Here(QStringLiteral("damaged.skf")));
    EXPECT_EQ(BlockBytes(s.Presets()), before);
    ASSERT_EQ(Face().told.size(), 1);
    EXPECT_TRUE(Face().told[0].startsWith(QStringLiteral("Load File|Something went wrong")));
    s.LoadPresets(QString()); // a cancelled file dialog: silent
    EXPECT_EQ(Face().told.size(), 1);
}

// A damaged mask section is reported, but the whole block before it stays loaded, and
// the active slot, the live settings and the status line follow it.
TEST_F(SessionPresetsTest, ADamagedMaskSectionKeepsTheBlockAndTheSessionInAgreement) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 3;
    block.m_presetSlots[3].cloudSet = 1;
    ASSERT_TRUE(SavePresetBytes("last.skf", block, u"").saved);
    // The second magic and half a code unit: no path.
    WriteFile(QStringLiteral("last.skf"), Read(QStringLiteral("last.skf")) + "KOVSKCF2x");
    ASSERT_TRUE(QFile::copy(QStringLiteral("last.skf"), QStringLiteral("default.skf")));

    CopySession& s = Start();
    auto expectAgreement = [&] {
        EXPECT_EQ(Face().told,
                  QStringList{QStringLiteral(
                      "Load Mask File|Something went wrong\ngetting Alpha Mask name")});
        Face().told.clear();
        EXPECT_EQ(BlockBytes(s.Presets()), BlockBytes(block));
        EXPECT_EQ(s.Presets().m_presetSlot, 3);
        EXPECT_EQ(s.LastAppliedSlot(), 3);
        EXPECT_EQ(s.StatusLine(),
                  QStringLiteral("Quad split - Rotating clockwise - plus clouds 2"));
    };
    expectAgreement(); // at start-up
    s.SelectSlot(1);   // leaving slot "4" stores what is live into it
    EXPECT_EQ(
        std::memcmp(&s.Presets().m_presetSlots[3], &block.m_presetSlots[3], sizeof(PresetSlot)), 0);
    s.LoadLast();
    expectAgreement();
    s.SelectSlot(1);
    s.LoadPresets(Here(QStringLiteral("last.skf")));
    expectAgreement();
}

// Folders under the preset files' names are passed over silently, like missing files.
TEST_F(SessionPresetsTest, FoldersNamedAsPresetFilesAreNotLoadedAndNotReported) {
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("default.skf")));
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("last.skf")));
    CopySession& s = Start();
    s.LoadLast();
    s.LoadPresets(Here(QStringLiteral("last.skf")));
    EXPECT_TRUE(Face().told.isEmpty());
    EXPECT_EQ(BlockBytes(s.Presets()), BlockBytes(DefaultPresetBlock()));
    EXPECT_EQ(s.Presets().m_presetSlot, 0);
}

// What a termination signal has the session do: leave without asking, keeping the
// settings it started from.
TEST_F(SessionPresetsTest, StartUpLoadsDefaultPresetsAndShuttingDownNowSavesLastOnes) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 1;
    block.m_presetSlots[1].cornerColours[0] = ColourRecord::FromValue(0xFF010203);
    ASSERT_TRUE(SavePresetBytes("default.skf", block, u"").saved);

    CopySession& s = Start();
    EXPECT_EQ(BlockBytes(s.Presets()), BlockBytes(block));
    s.ShutDownNow();
    EXPECT_TRUE(s.HasEnded());
    EXPECT_TRUE(Face().asked.isEmpty());
    const QByteArray last = Read(QStringLiteral("last.skf"));
    ASSERT_EQ(last.size(), 176);
    EXPECT_EQ(last.mid(8), BlockBytes(block));
    EXPECT_FALSE(s.ExitSaveFailed());
}

// A copy turned away because every number is taken ran nobody's settings: the folder's
// "last.skf" is another copy's to keep.
TEST_F(SessionPresetsTest, ACopyThatNeverGotANumberWritesNothingAtExit) {
    PresetBlock older = DefaultPresetBlock();
    older.m_presetSlot = 4;
    ASSERT_TRUE(SavePresetBytes("last.skf", older, u"").saved);
    const QByteArray last = Read(QStringLiteral("last.skf"));
    SessionFixture ninth(AloneSession(99));
    ASSERT_TRUE(ninth.session.Start());
    for (int32_t number = 0; number < kMaxInstances; ++number) {
        ninth.session.OnPost(static_cast<int32_t>(BusCommand::Answer), number);
    }
    ninth.face.answers = {true};
    ninth.session.SettleNumber();
    ASSERT_TRUE(ninth.session.EndedWithoutNumber());
    EXPECT_EQ(Read(QStringLiteral("last.skf")), last);
    EXPECT_FALSE(ninth.session.ExitSaveFailed());
}

// Nothing in the folder can be "last.skf" once a folder has the name: the exit's save
// fails, and the session keeps that for the process's exit status.
TEST_F(SessionPresetsTest, AnExitSaveThatCannotBeWrittenIsRecorded) {
    CopySession& s = Start();
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("last.skf")));
    s.ShutDownNow();
    EXPECT_TRUE(s.HasEnded());
    EXPECT_TRUE(s.ExitSaveFailed());
}

} // namespace
