#include "presets/preset_file.h"

#include "presets/file_replace.h"
#include "vocabulary/settings_vocabulary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Only a regular file is read: opening a pipe would wait for a writer, a device could
// stream without end. Anything else counts as a file that cannot be opened.
File OpenRegularFile(const std::string& fileName) {
    const int fd =
        fileName.empty() ? -1 : ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    std::FILE* file =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? ::fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        ::close(fd);
    }
    return File(file);
}

template <typename T> T Clamp(T value, T low, T high) {
    return std::min(std::max(value, low), high);
}

} // namespace

const char* PresetMessageText(PresetMessage message) {
    switch (message) {
    case PresetMessage::None:
        return "";
    case PresetMessage::SaveInitiating:
        return "Problem initiating file save";
    case PresetMessage::SaveBlock:
        return "Problem occurred - file not saved";
    case PresetMessage::SaveSecondMagic:
        return "Problem during file save";
    case PresetMessage::SaveMaskName:
        return "Problem occurred - mask name not saved";
    case PresetMessage::UnrecognisedType:
        return "Unrecognised file type";
    case PresetMessage::ShortBlock:
        return "Something went wrong - \nunless you have just updated Skyfill\nin which case you "
               "may see this once.";
    case PresetMessage::MaskNameMissing:
        return "Something went wrong\ngetting Alpha Mask name";
    }
    return "";
}

const char* PresetMessageCaption(PresetMessage message) {
    switch (message) {
    case PresetMessage::SaveInitiating:
    case PresetMessage::SaveBlock:
    case PresetMessage::SaveSecondMagic:
    case PresetMessage::SaveMaskName:
        return "Save File";
    case PresetMessage::UnrecognisedType:
    case PresetMessage::ShortBlock:
        return "Load File";
    case PresetMessage::MaskNameMissing:
        return "Load Mask File";
    case PresetMessage::None:
        break;
    }
    return "";
}

PresetSaveResult SavePresetBytes(const std::string& fileName, const PresetBlock& block,
                                 const std::u16string& maskPath) {
    PresetSaveResult result;
    if (fileName.empty()) {
        return result;
    }
    FileReplacement file(fileName);
    if (!file.IsOpen()) {
        return result; // neither created nor opened: not reported
    }
    auto fail = [&](PresetMessage message) {
        result.message = message;
        return result;
    };
    if (!file.Write(kPresetMagic, sizeof kPresetMagic)) {
        return fail(PresetMessage::SaveInitiating);
    }
    if (!file.Write(&block, sizeof block)) {
        return fail(PresetMessage::SaveBlock);
    }
    if (!maskPath.empty()) {
        if (!file.Write(kMaskMagic, sizeof kMaskMagic)) {
            return fail(PresetMessage::SaveSecondMagic);
        }
        uint8_t units[kMaskPathUnits * 2] = {};
        const std::size_t count = std::min(maskPath.size(), kMaskPathUnits - 1);
        for (std::size_t i = 0; i < count; ++i) {
            units[i * 2] = static_cast<uint8_t>(maskPath[i] & 0xFF);
            units[i * 2 + 1] = static_cast<uint8_t>(maskPath[i] >> 8);
        }
        if (!file.Write(units, sizeof units)) {
            return fail(PresetMessage::SaveMaskName);
        }
    }
    if (!file.Finish()) {
        return fail(maskPath.empty() ? PresetMessage::SaveBlock : PresetMessage::SaveMaskName);
    }
    result.saved = true;
    return result;
}

PresetLoadResult ReadPresetFile(const std::string& fileName) {
    PresetLoadResult result;
    const File file = OpenRegularFile(fileName);
    if (!file) {
        return result;
    }
    char magic[8];
    if (std::fread(magic, 1, sizeof magic, file.get()) != sizeof magic ||
        std::memcmp(magic, kPresetMagic, sizeof magic) != 0) {
        result.outcome = PresetLoadResult::Outcome::Refused;
        result.message = PresetMessage::UnrecognisedType;
        return result;
    }
    if (std::fread(&result.block, 1, sizeof result.block, file.get()) != sizeof result.block) {
        result.outcome = PresetLoadResult::Outcome::Refused;
        result.message = PresetMessage::ShortBlock;
        result.block = PresetBlock{};
        return result;
    }
    ClampPresetBlock(result.block);
    result.outcome = PresetLoadResult::Outcome::Loaded;
    if (std::fread(magic, 1, sizeof magic, file.get()) != sizeof magic ||
        std::memcmp(magic, kMaskMagic, sizeof magic) != 0) {
        return result;
    }
    result.maskSection = true;
    uint8_t units[kMaskPathUnits * 2];
    const std::size_t read = std::fread(units, 1, sizeof units, file.get()) / 2;
    if (read == 0) {
        result.maskNameMissing = true;
        result.message = PresetMessage::MaskNameMissing;
        return result;
    }
    for (std::size_t i = 0; i < read; ++i) {
        const auto unit = static_cast<char16_t>(units[i * 2] | units[i * 2 + 1] << 8);
        if (unit == 0) {
            break;
        }
        result.maskPath.push_back(unit);
    }
    return result;
}

bool ClampPresetBlock(PresetBlock& block) {
    const PresetBlock before = block;
    block.m_presetSlot =
        Clamp<int32_t>(block.m_presetSlot, kPresetSlotSetting.min, kPresetSlotSetting.max);
    block.m_presetPreviewMode =
        Clamp<int32_t>(block.m_presetPreviewMode, static_cast<int32_t>(PreviewMode::Off),
                       static_cast<int32_t>(PreviewMode::EveryFrame));
    for (PresetSlot& slot : block.m_presetSlots) {
        slot.fillPattern =
            Clamp<int32_t>(slot.fillPattern, kFillPatternSetting.min, kFillPatternSetting.max);
        slot.rotationMode =
            Clamp<int32_t>(slot.rotationMode, kRotationSetting.min, kRotationSetting.max);
        slot.cloudsOn = slot.cloudsOn != 0 ? 1 : 0;
        slot.cloudSet = slot.cloudSet != 0 ? 1 : 0;
        slot.cloudSpeed =
            Clamp<int8_t>(slot.cloudSpeed, kCloudSpeedSetting.min, kCloudSpeedSetting.max);
        slot.useMask = slot.useMask != 0 ? 1 : 0;
        slot.rotationSliderPosition = Clamp<uint16_t>(
            slot.rotationSliderPosition, kRotationSliderSetting.min, kRotationSliderSetting.max);
        slot.useMaskAlpha = slot.useMaskAlpha != 0 ? 1 : 0;
        slot.invertTransparency = slot.invertTransparency != 0 ? 1 : 0;
    }
    return std::memcmp(&before, &block, sizeof block) != 0;
}

std::u16string MaskFileTitle(const std::u16string& path) {
    const auto cut = path.find_last_of(u"/\\");
    return cut == std::u16string::npos ? path : path.substr(cut + 1);
}
