// Preset slots and preset files as the window uses them, in a fresh working directory
// for each test.

#include "app/bus_link.h"
#include "app/menu_tables.h"
#include "presets/preset_file.h"
#include "tests/app/window_test_support.h"
#include "ui_main_window.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class PresetsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(workDir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(workDir.path());
    }
    void TearDown() override {
        window.reset();
        QDir::setCurrent(previousDir);
    }

    MainWindow& Start() {
        window.reset();
        window = std::make_unique<MainWindow>(AloneEnvironment(prompts, 77));
        EXPECT_TRUE(window->Start());
        window->OnSettleTimer();
        return *window;
    }

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

    QTemporaryDir workDir;
    QString previousDir;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
};

TEST_F(PresetsWindowTest, SaveDefaultsRightAfterAFirstStartWritesTheKnownBytes) {
    MainWindow& w = Start();
    w.OnWindowCommand(WindowCommand::SaveDefaults);
    EXPECT_EQ(prompts.told,
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

TEST_F(PresetsWindowTest, SlotsStoreTheLiveSettingsAndPasteCopiesWholeRecords) {
    MainWindow& w = Start();
    w.OnPaste(); // right after start-up: nothing to paste
    EXPECT_EQ(BlockBytes(w.Presets()), BlockBytes(DefaultPresetBlock()));

    w.Controls().m_fillVSplit->click();
    w.Controls().m_rotationSpeedSlider->setValue(200);
    w.Controls().m_cloudSpeedSlider->setValue(2);
    w.Controls().m_presetRadio2->click(); // slot "3"
    EXPECT_EQ(w.Presets().m_presetSlots[0].fillPattern, 2);
    EXPECT_EQ(w.Settings().fillPattern, 2); // slot "3" of the defaults is V-split too
    EXPECT_EQ(w.Settings().rotationMode, 2);
    EXPECT_EQ(w.LastAppliedSlot(), 0);
    EXPECT_EQ(w.Controls().m_statusLine->text(),
              QStringLiteral("Vertical split - Rotating anticlockwise - plus clouds 1"));

    w.OnPaste(); // slot "1" as stored when it was left, all 32 bytes
    const PresetSlot& pasted = w.Presets().m_presetSlots[2];
    EXPECT_EQ(std::memcmp(&pasted, &w.Presets().m_presetSlots[0], sizeof pasted), 0);
    EXPECT_EQ(pasted.rotationSliderPosition, 200);
    EXPECT_EQ(pasted.cloudSpeed, -2);
    EXPECT_EQ(w.Settings().rotationPeriodMs, 60);
    EXPECT_EQ(w.Settings().rotationMode, 0);
}

TEST_F(PresetsWindowTest, ExitKeepsTheSettingsAndLoadLastBringsThemBack) {
    MainWindow& first = Start();
    first.OnLoadLast(); // no "last.skf" yet: nothing happens, nothing is said
    EXPECT_TRUE(prompts.told.isEmpty());
    first.OnColourPicked(3, 0x00112233);
    first.Controls().m_fillQuad->click();
    first.Controls().m_cloudCheck->click();
    first.Controls().m_startButton->click();
    prompts.answers = {true};
    first.OnOK();
    ASSERT_EQ(Read(QStringLiteral("last.skf")).size(), 176);

    MainWindow& second = Start(); // starts from the defaults, not from "last.skf"
    EXPECT_EQ(second.Settings().fillPattern, 0);
    second.OnLoadLast();
    EXPECT_EQ(second.Settings().fillPattern, 3);
    EXPECT_EQ(second.Settings().cloudsOn, 0);
    EXPECT_EQ(ToButtonValue(second.Settings().baseColours[3]), 0x00112233u);
    EXPECT_EQ(second.Controls().m_statusLine->text(),
              QStringLiteral("Quad split - Static background - no clouds"));
    second.OnPaste(); // directly after a load: nothing
    EXPECT_EQ(second.Settings().fillPattern, 3);
}

TEST_F(PresetsWindowTest, ALoadMakesTheFilesActiveSlotLiveWithItsButton) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 3;
    ASSERT_TRUE(SavePresetBytes("chosen.skf", block, u"").saved);
    MainWindow& w = Start();
    w.OnLoadPresetsFromFile(QDir::current().absoluteFilePath(QStringLiteral("chosen.skf")));
    EXPECT_EQ(w.Presets().m_presetSlot, 3);
    EXPECT_TRUE(w.Controls().m_presetRadio3->isChecked());
    EXPECT_EQ(w.Settings().fillPattern, 3); // slot "4": quad split, clockwise
    EXPECT_EQ(w.Settings().rotationMode, 1);
    EXPECT_EQ(w.LastAppliedSlot(), 3);

    // A damaged file is refused with its message and nothing changes.
    QFile damaged(QStringLiteral("damaged.skf"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray("KOVSKCF1") + QByteArray(40, '\x07'));
    damaged.close();
    const QByteArray before = BlockBytes(w.Presets());
    w.OnLoadPresetsFromFile(QDir::current().absoluteFilePath(QStringLiteral("damaged.skf")));
    EXPECT_EQ(BlockBytes(w.Presets()), before);
    ASSERT_EQ(prompts.told.size(), 1);
    EXPECT_TRUE(prompts.told[0].startsWith(QStringLiteral("Load File|Something went wrong")));
    w.OnLoadPresetsFromFile(QString()); // a cancelled file dialog: silent
    EXPECT_EQ(prompts.told.size(), 1);
}

// A damaged mask section is reported, but the whole block before it stays loaded, and
// the slot's button, the live settings and the status line follow it.
TEST_F(PresetsWindowTest, ADamagedMaskSectionKeepsTheBlockAndTheWindowInAgreement) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 3;
    block.m_presetSlots[3].cloudSet = 1;
    ASSERT_TRUE(SavePresetBytes("last.skf", block, u"").saved);
    // The second magic and half a code unit: no path.
    WriteFile(QStringLiteral("last.skf"), Read(QStringLiteral("last.skf")) + "KOVSKCF2x");
    ASSERT_TRUE(QFile::copy(QStringLiteral("last.skf"), QStringLiteral("default.skf")));

    MainWindow& w = Start();
    auto expectAgreement = [&] {
        EXPECT_EQ(prompts.told,
                  QStringList{QStringLiteral(
                      "Load Mask File|Something went wrong\ngetting Alpha Mask name")});
        prompts.told.clear();
        EXPECT_EQ(BlockBytes(w.Presets()), BlockBytes(block));
        EXPECT_TRUE(w.Controls().m_presetRadio3->isChecked());
        EXPECT_EQ(w.LastAppliedSlot(), 3);
        EXPECT_EQ(w.Controls().m_statusLine->text(),
                  QStringLiteral("Quad split - Rotating clockwise - plus clouds 2"));
    };
    expectAgreement();                    // at start-up
    w.Controls().m_presetRadio1->click(); // leaving slot "4" stores what is live into it
    EXPECT_EQ(
        std::memcmp(&w.Presets().m_presetSlots[3], &block.m_presetSlots[3], sizeof(PresetSlot)), 0);
    w.OnLoadLast();
    expectAgreement();
    w.Controls().m_presetRadio1->click();
    w.OnLoadPresetsFromFile(QDir::current().absoluteFilePath(QStringLiteral("last.skf")));
    expectAgreement();
}

// Folders under the preset files' names are passed over silently, like missing files.
TEST_F(PresetsWindowTest, FoldersNamedAsPresetFilesAreNotLoadedAndNotReported) {
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("default.skf")));
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("last.skf")));
    MainWindow& w = Start();
    w.OnLoadLast();
    w.OnLoadPresetsFromFile(QDir::current().absoluteFilePath(QStringLiteral("last.skf")));
    EXPECT_TRUE(prompts.told.isEmpty());
    EXPECT_EQ(BlockBytes(w.Presets()), BlockBytes(DefaultPresetBlock()));
    EXPECT_TRUE(w.Controls().m_presetRadio0->isChecked());
}

TEST_F(PresetsWindowTest, StartUpLoadsDefaultPresetsAndATerminationSignalSavesLastOnes) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 1;
    block.m_presetSlots[1].cornerColours[0] = ColourRecord::FromValue(0xFF010203);
    ASSERT_TRUE(SavePresetBytes("default.skf", block, u"").saved);

    QProcess skyfill;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    skyfill.setProcessEnvironment(env);
    skyfill.setWorkingDirectory(workDir.path());
    skyfill.start(QStringLiteral(SKYFILL_BINARY), {});
    ASSERT_TRUE(skyfill.waitForStarted(5000));
    // Until it has titled itself, however long a busy machine takes.
    QByteArray said;
    for (int waited = 0; !said.contains("- No ") && waited < 120000; waited += 50) {
        skyfill.waitForReadyRead(50);
        said += skyfill.readAllStandardError();
    }
    skyfill.terminate(); // SIGTERM
    ASSERT_TRUE(skyfill.waitForFinished(10000));
    EXPECT_EQ(skyfill.exitStatus(), QProcess::NormalExit);
    const QByteArray last = Read(QStringLiteral("last.skf"));
    ASSERT_EQ(last.size(), 176);
    EXPECT_EQ(last.mid(8), BlockBytes(block));
}

} // namespace
