#pragma once

#include <QByteArray>
#include <cstdint>

// What the command line asks of a copy's start, already checked against the menus.
struct StartOptions {
    // Items of the output size and rate tables; -1 keeps the copy's own choice.
    int sizeItem = -1;
    int rateItem = -1;
    // File names are kept as the system gives them: bytes that need not be UTF-8.
    // Loaded instead of "default.skf" when not empty.
    QByteArray presetFile;
    // The folder of "default.skf" and "last.skf"; empty is the user's configuration
    // folder, made on the first save there.
    QByteArray presetFolder;
    // 0-based; -1 keeps the slot the preset file selects.
    int32_t presetSlot = -1;
    // Sending starts as soon as the copy has its number, as a Start click would.
    bool startSending = false;
    // UYVY (4:2:2) instead of BGRX while the mask is not in use.
    bool uyvy = false;
};
