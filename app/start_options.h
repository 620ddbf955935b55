#pragma once

#include <QString>
#include <cstdint>

// What the command line asks of the window's start, already checked against the menus.
struct StartOptions {
    // Items of the resolution and frame-rate menus; -1 keeps the window's own choice.
    int resolutionItem = -1;
    int frameRateItem = -1;
    // Loaded instead of "default.skf" when not empty.
    QString presetFile;
    // 0-based; -1 keeps the slot the preset file selects.
    int32_t presetSlot = -1;
    // Sending starts as soon as the copy has its number, as a Start click would.
    bool startSending = false;
};
