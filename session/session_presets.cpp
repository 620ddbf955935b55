// The five preset slots and the preset files.

#include "engine/settings_edits.h"
#include "logging/event_log.h"
#include "presets/preset_file.h"
#include "session/copy_session.h"
#include "session/session_command.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kDefaultPresets[] = "default.skf";
const char kLastPresets[] = "last.skf";
// A preset file is 784 bytes at most; anything far larger is something else.
constexpr qint64 kLargestPresetFile = 64 * 1024;

// As the XDG rules have it: an unset, empty or relative XDG_CONFIG_HOME means
// $HOME/.config.
QByteArray UserConfigPresetFolder() {
    QByteArray base = qgetenv("XDG_CONFIG_HOME");
    if (!base.startsWith('/')) {
        base = qgetenv("HOME");
        if (base.isEmpty()) {
            if (const passwd* user = ::getpwuid(::getuid())) {
                base = user->pw_dir;
            }
        }
        base += "/.config";
    }
    return base + "/skyfill";
}

// Each missing folder on the way is made private (0700), as the XDG rules ask of a
// configuration folder; those already there are left as they are.
void MakeFolders(const QByteArray& path) {
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.left(slash);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) {
            return; // the save that follows fails and says so
        }
        if (slash < 0) {
            return;
        }
    }
}

// A file named on the command line was found to be a preset file before the start, so
// this one changed since: said on standard error as well as by the usual message,
// since a service's user reads only that.
void WarnPresetFileNotLoaded(const QByteArray& file) {
    const PresetLoadResult again = ReadPresetFile(file.toStdString());
    const QString why = again.message == PresetMessage::None
                            ? QStringLiteral("cannot be opened")
                            : QString::fromUtf8(PresetMessageText(again.message)).simplified();
    Log(LogLevel::Warning, "--presets: '" + file.toStdString() + "' not loaded (" +
                               why.toStdString() + "); using the built-in presets");
}

// What another program is told of a path the file's own reader would take without a
// word; nothing when the file is worth reading.
std::optional<QString> UnfitPresetPath(const QString& path) {
    const QFileInfo file(path);
    const QString quoted = QuotedArgument(path);
    if (!file.exists()) {
        return QStringLiteral("%1: no such file").arg(quoted);
    }
    if (file.isDir()) {
        return QStringLiteral("%1: is a folder").arg(quoted);
    }
    if (!file.isFile()) {
        return QStringLiteral("%1: not a regular file").arg(quoted);
    }
    if (file.size() > kLargestPresetFile) {
        return QStringLiteral("%1: too large for a preset file").arg(quoted);
    }
    return std::nullopt;
}

// Why the exit's save left "last.skf" in `folder` unwritten.
QString WhyNotSaved(const QByteArray& path, const QByteArray& folder) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        struct stat link {};
        if (::lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
            return QStringLiteral("it is a link to a file that cannot be made");
        }
        if (::faccessat(AT_FDCWD, folder.constData(), W_OK, AT_EACCESS) != 0) {
            return QString::fromLocal8Bit(std::strerror(errno));
        }
    } else if (S_ISDIR(info.st_mode)) {
        return QStringLiteral("it is a folder");
    } else if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("it is not a regular file");
    } else if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return QStringLiteral("it could not be written");
}

} // namespace

QByteArray CopySession::PresetFolder() const {
    const QByteArray& given = m_environment.start.presetFolder;
    return given.isEmpty() ? UserConfigPresetFolder() : given;
}

QByteArray CopySession::PresetFolderFile(const char* name) const {
    return PresetFolder() + '/' + name;
}

bool CopySession::SaveInPresetFolder(const char* name) {
    if (m_environment.start.presetFolder.isEmpty()) {
        MakeFolders(PresetFolder());
    }
    return SavePresetFile(PresetFolderFile(name));
}

void CopySession::StoreCurrentSlot() {
    const int32_t index = m_presets.m_presetSlot;
    if (index >= 0 && index < kPresetSlotCount) {
        StoreInSlot(Settings(), m_presets.m_presetSlots[index]);
    }
}

void CopySession::StoreSlot() {
    const Command command(*this);
    StoreCurrentSlot();
}

bool CopySession::SavePresetFile(const QByteArray& path) {
    StoreCurrentSlot();
    const PresetSaveResult result =
        SavePresetBytes(path.toStdString(), m_presets, MaskFilePath().toStdU16String());
    if (result.message != PresetMessage::None) {
        Tell(QString::fromUtf8(PresetMessageCaption(result.message)),
             QString::fromUtf8(PresetMessageText(result.message)), SessionMessage::Kind::Error);
    }
    if (result.saved) {
        Log(LogLevel::Info, "presets saved to '" + path.toStdString() + "'");
    }
    return result.saved;
}

// A service's user reads only standard error and the exit status: both tell that the
// settings are lost, whatever the faces were shown.
void CopySession::SaveLastPresets() {
    if (SaveInPresetFolder(kLastPresets)) {
        return;
    }
    m_exitSaveFailed = true;
    const QByteArray path = PresetFolderFile(kLastPresets);
    Log(LogLevel::Error, "settings not saved to '" + path.toStdString() + "' (" +
                             WhyNotSaved(path, PresetFolder()).toStdString() + ")");
}

bool CopySession::SavePresets(const QString& path) {
    const Command command(*this);
    return SavePresetFile(QFile::encodeName(path));
}

bool CopySession::LoadPresetFile(const QByteArray& path) {
    const PresetLoadResult result = ReadPresetFile(path.toStdString());
    const bool loaded = result.outcome == PresetLoadResult::Outcome::Loaded;
    if (loaded) {
        // The block is whole and its values in range: only now does it replace the live
        // one. It stays so even when its mask section is damaged, which is only reported.
        m_presets = result.block;
        Log(LogLevel::Info, "presets loaded from '" + path.toStdString() + "'");
        ApplySlot(m_presets.m_presetSlot);
        if (!result.maskPath.empty()) {
            TakeMaskPath(QString::fromStdU16String(result.maskPath));
        }
    }
    if (result.message != PresetMessage::None) {
        Tell(QString::fromUtf8(PresetMessageCaption(result.message)),
             QString::fromUtf8(PresetMessageText(result.message)),
             loaded ? SessionMessage::Kind::Warning : SessionMessage::Kind::Error);
    }
    return loaded;
}

void CopySession::LoadStartupPresets() {
    const StartOptions& start = m_environment.start;
    const QByteArray file =
        start.presetFile.isEmpty() ? PresetFolderFile(kDefaultPresets) : start.presetFile;
    if (!LoadPresetFile(file)) {
        if (!start.presetFile.isEmpty()) {
            WarnPresetFileNotLoaded(file);
        }
        m_presets = DefaultPresetBlock();
        ApplySlot(m_presets.m_presetSlot);
    }
    if (start.presetSlot >= 0 && start.presetSlot < kPresetSlotCount) {
        m_presets.m_presetSlot = start.presetSlot;
        ApplySlot(start.presetSlot);
    }
    m_lastAppliedSlot = m_presets.m_presetSlot;
}

CommandReply CopySession::SelectSlot(int32_t slot, Caller caller) {
    if (slot < 0 || slot >= kPresetSlotCount) {
        return CommandReply::Refuse(CommandReply::Refusal::InvalidArgs,
                                    QStringLiteral("No preset slot %1: slots are 1 to %2")
                                        .arg(slot + 1)
                                        .arg(kPresetSlotCount));
    }
    if (caller == Caller::Program) {
        if (CommandReply refusal = ProgramRefusal(); refusal.Refused()) {
            return refusal;
        }
    }
    const Command command(*this);
    m_lastAppliedSlot = m_presets.m_presetSlot;
    StoreCurrentSlot();
    m_presets.m_presetSlot = slot;
    ApplySlot(slot);
    UpdateStatusLine();
    return CommandReply::Done();
}

void CopySession::Paste() {
    const int32_t from = m_lastAppliedSlot;
    const int32_t to = m_presets.m_presetSlot;
    if (from == to || from < 0 || from >= kPresetSlotCount || to < 0 || to >= kPresetSlotCount) {
        return;
    }
    const Command command(*this);
    m_presets.m_presetSlots[to] = m_presets.m_presetSlots[from];
    ApplySlot(from);
    UpdateStatusLine();
}

void CopySession::LoadLast() {
    const Command command(*this);
    if (!LoadPresetFile(PresetFolderFile(kLastPresets))) {
        return;
    }
    UpdateStatusLine();
    m_lastAppliedSlot = m_presets.m_presetSlot;
}

void CopySession::SaveDefaults() {
    const Command command(*this);
    if (SaveInPresetFolder(kDefaultPresets)) {
        Tell(QStringLiteral("Save File"), QStringLiteral("Current presets saved as defaults"));
    }
}

bool CopySession::LoadPresetsFromFile(const QString& path) {
    // The chosen file is opened by its full path, wherever the working directory is.
    if (!LoadPresetFile(QFile::encodeName(path))) {
        return false;
    }
    UpdateStatusLine();
    m_lastAppliedSlot = m_presets.m_presetSlot;
    return true;
}

CommandReply CopySession::LoadPresets(const QString& path, Caller caller) {
    if (caller == Caller::User) {
        const Command command(*this);
        return LoadPresetsFromFile(path) ? CommandReply::Done()
                                         : CommandReply::Refuse(CommandReply::Refusal::File, path);
    }
    // Nothing longer names a file the system would open; it is refused before any copy.
    if (path.size() >= PATH_MAX || QFile::encodeName(path).size() >= PATH_MAX) {
        return CommandReply::Refuse(
            CommandReply::Refusal::InvalidArgs,
            QStringLiteral("\"%1\" is too long for a path").arg(QuotedArgument(path)));
    }
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
        return CommandReply::Refuse(
            CommandReply::Refusal::InvalidArgs,
            QStringLiteral("A preset file is given by its absolute path, not \"%1\"")
                .arg(QuotedArgument(path)));
    }
    if (CommandReply refusal = ProgramRefusal(); refusal.Refused()) {
        return refusal;
    }
    if (const std::optional<QString> unfit = UnfitPresetPath(path)) {
        return CommandReply::Refuse(CommandReply::Refusal::File, *unfit);
    }
    // The user's own load, with what it would show held for the caller.
    const Command command(*this);
    QStringList held;
    m_heldMessages = &held;
    const bool loaded = LoadPresetsFromFile(path);
    m_heldMessages = nullptr;
    if (!loaded) {
        const QString why =
            held.isEmpty() ? QStringLiteral("cannot be read") : held.join(u' ').simplified();
        return CommandReply::Refuse(CommandReply::Refusal::File,
                                    QStringLiteral("%1: %2").arg(QuotedArgument(path), why));
    }
    QStringList warnings;
    for (const QString& told : held) {
        warnings << QStringLiteral("%1: %2").arg(path, told.simplified());
    }
    return CommandReply::Done(warnings);
}
