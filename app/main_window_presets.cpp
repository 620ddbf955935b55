// The five preset slots and the preset files.

#include "app/main_window.h"
#include "app/user_prompts.h"
#include "engine/settings_edits.h"
#include "presets/preset_file.h"
#include "ui_main_window.h"

#include <QButtonGroup>
#include <QFile>
#include <QFileDialog>
#include <cstdio>

namespace {

// Bare names, relative to the working directory.
const QString kDefaultPresets = QStringLiteral("default.skf");
const QString kLastPresets = QStringLiteral("last.skf");

std::string LocalPath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

void CheckSlotButton(QButtonGroup& group, int32_t slot) {
    if (QAbstractButton* button = group.button(slot)) {
        button->setChecked(true);
    }
}

// A file named on the command line was checked to be readable before the start, so
// this is one that is not a preset file (or vanished since): said on standard error as
// well as by the usual message, since a service's user reads only that.
void WarnPresetFileNotLoaded(const QString& file) {
    const PresetLoadResult again = ReadPresetFile(LocalPath(file));
    const QString why = again.message == PresetMessage::None
                            ? QStringLiteral("cannot be opened")
                            : QString::fromUtf8(PresetMessageText(again.message)).simplified();
    std::fprintf(stderr, "skyfill: --presets: '%s' not loaded (%s); using the built-in presets\n",
                 QFile::encodeName(file).constData(), why.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

void MainWindow::StoreCurrentSlot() {
    const int32_t index = m_presets.m_presetSlot;
    if (index >= 0 && index < kPresetSlotCount) {
        StoreInSlot(Settings(), m_presets.m_presetSlots[index]);
    }
}

bool MainWindow::SavePresetFile(const QString& fileName) {
    StoreCurrentSlot();
    const PresetSaveResult result =
        SavePresetBytes(LocalPath(fileName), m_presets, MaskFilePath().toStdU16String());
    if (result.message != PresetMessage::None) {
        m_prompts->Tell(QString::fromUtf8(PresetMessageCaption(result.message)),
                        QString::fromUtf8(PresetMessageText(result.message)));
    }
    return result.saved;
}

bool MainWindow::LoadPresetFile(const QString& fileName) {
    const PresetLoadResult result = ReadPresetFile(LocalPath(fileName));
    const bool loaded = result.outcome == PresetLoadResult::Outcome::Loaded;
    if (loaded) {
        // The block is whole and its values in range: only now does it replace the live
        // one. It stays so even when its mask section is damaged, which is only reported.
        // The file's active slot becomes the active one under its own button, since
        // ApplySlot reads the slot back from the buttons.
        m_presets = result.block;
        CheckSlotButton(*m_presetGroup, m_presets.m_presetSlot);
        ApplySlot(m_presets.m_presetSlot);
        if (!result.maskPath.empty()) {
            TakeMaskPath(QString::fromStdU16String(result.maskPath));
        }
    }
    if (result.message != PresetMessage::None) {
        m_prompts->Tell(QString::fromUtf8(PresetMessageCaption(result.message)),
                        QString::fromUtf8(PresetMessageText(result.message)));
    }
    return loaded;
}

void MainWindow::LoadStartupPresets() {
    const StartOptions& start = m_environment.start;
    const QString& file = start.presetFile.isEmpty() ? kDefaultPresets : start.presetFile;
    if (!LoadPresetFile(file)) {
        if (!start.presetFile.isEmpty()) {
            WarnPresetFileNotLoaded(file);
        }
        m_presets = DefaultPresetBlock();
        CheckSlotButton(*m_presetGroup, m_presets.m_presetSlot);
        ApplySlot(m_presets.m_presetSlot);
    }
    if (start.presetSlot >= 0 && start.presetSlot < kPresetSlotCount) {
        m_presets.m_presetSlot = start.presetSlot;
        CheckSlotButton(*m_presetGroup, start.presetSlot);
        ApplySlot(start.presetSlot);
    }
    m_lastAppliedSlot = m_presets.m_presetSlot;
}

void MainWindow::OnPresetRadio(int slot) {
    if (slot < 0 || slot >= kPresetSlotCount) {
        return;
    }
    m_lastAppliedSlot = m_presets.m_presetSlot;
    StoreCurrentSlot();
    m_presets.m_presetSlot = slot;
    CheckSlotButton(*m_presetGroup, slot);
    ApplySlot(m_presets.m_presetSlot);
    UpdateStatusLine();
}

void MainWindow::OnPaste() {
    const int32_t from = m_lastAppliedSlot;
    const int32_t to = m_presets.m_presetSlot;
    if (from == to || from < 0 || from >= kPresetSlotCount || to < 0 || to >= kPresetSlotCount) {
        return;
    }
    m_presets.m_presetSlots[to] = m_presets.m_presetSlots[from];
    ApplySlot(from);
    UpdateStatusLine();
}

void MainWindow::OnLoadLast() {
    if (!LoadPresetFile(kLastPresets)) {
        return;
    }
    UpdateStatusLine();
    m_lastAppliedSlot = m_presets.m_presetSlot;
}

void MainWindow::OnSaveDefaults() {
    if (SavePresetFile(kDefaultPresets)) {
        m_prompts->Tell(QStringLiteral("Save File"),
                        QStringLiteral("Current presets saved as defaults"));
    }
}

bool MainWindow::OnLoadPresetsFromFile(const QString& chosenPath) {
    // The chosen file is opened by its full path, wherever the working directory is.
    if (!LoadPresetFile(chosenPath)) {
        return false;
    }
    UpdateStatusLine();
    m_lastAppliedSlot = m_presets.m_presetSlot;
    return true;
}
