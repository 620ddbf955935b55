#pragma once

#include <QString>
#include <cstdint>

// What the command line asks of a copy's start, already checked against the menus.
struct StartOptions {
    // Items of the output size and rate tables; -1 keeps the copy's own choice.
    int sizeItem = -1;
    int rateItem = -1;
    // Loaded instead of "default.skf" when not empty.
    QString presetFile;
    // 0-based; -1 keeps the slot the preset file selects.
    int32_t presetSlot = -1;
    // Sending starts as soon as the copy has its number, as a Start click would.
    bool startSending = false;
};
