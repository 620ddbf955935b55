#pragma once

#include "presets/preset_block.h"

#include <cstddef>
#include <string>

// The preset file: "KOVSKCF1", the 168-byte block, and, only when a mask path is set,
// "KOVSKCF2" with 300 UTF-16LE code units of path ending in a NUL.

inline constexpr char kPresetMagic[8] = {'K', 'O', 'V', 'S', 'K', 'C', 'F', '1'};
inline constexpr char kMaskMagic[8] = {'K', 'O', 'V', 'S', 'K', 'C', 'F', '2'};
inline constexpr std::size_t kMaskPathUnits = 300;
inline constexpr std::size_t kShortPresetFileBytes = 8 + sizeof(PresetBlock);
inline constexpr std::size_t kLongPresetFileBytes = kShortPresetFileBytes + 8 + kMaskPathUnits * 2;
static_assert(kShortPresetFileBytes == 176 && kLongPresetFileBytes == 784);

// What the user is told when a preset file operation fails where they acted.
enum class PresetMessage {
    None,
    SaveInitiating,   // magic not written
    SaveBlock,        // block not written
    SaveSecondMagic,  // second magic not written
    SaveMaskName,     // mask path not written
    UnrecognisedType, // short file or wrong first magic
    ShortBlock,       // block shorter than 168 bytes
    MaskNameMissing,  // second magic present but no path follows
};

const char* PresetMessageText(PresetMessage message);
const char* PresetMessageCaption(PresetMessage message);

struct PresetSaveResult {
    bool saved = false;
    PresetMessage message = PresetMessage::None;
};

// Writes the file through a FileReplacement: links are followed, an existing file keeps
// its mode, and an interrupted save leaves it whole wherever its folder allows a
// temporary file. A file that can be neither created nor opened is not reported (message
// None). A path longer than 299 code units is stored cut to 299.
PresetSaveResult SavePresetBytes(const std::string& fileName, const PresetBlock& block,
                                 const std::u16string& maskPath);

struct PresetLoadResult {
    enum class Outcome {
        NotOpened, // silent; nothing changes
        Refused,   // `message` says why; nothing changes
        Loaded,    // `block` is whole and checked
    } outcome = Outcome::NotOpened;
    PresetMessage message = PresetMessage::None;
    PresetBlock block{};
    // Loaded only: whether a second section named a mask, and the path up to its NUL.
    bool maskSection = false;
    bool maskNameMissing = false; // the second magic was there but no path followed
    std::u16string maskPath;
};

// Reads a preset file without touching any live state; the caller replaces its block
// only with a whole, checked one. Only regular files are opened, and never in a way
// that waits: anything else is NotOpened.
PresetLoadResult ReadPresetFile(const std::string& fileName);

// Brings every value that indexes something into its range, so a damaged or foreign
// file can never index outside a table: the slot and preview mode, each slot's
// pattern, rotation, cloud set, cloud speed and slider position. Flags become 0 or 1.
// Returns true when anything had to change.
bool ClampPresetBlock(PresetBlock& block);

// The folder-less part of a stored mask path; both '/' and '\' end a folder.
std::u16string MaskFileTitle(const std::u16string& path);
