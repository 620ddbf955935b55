#pragma once

#include "engine/generator_settings.h"
#include "presets/preset_block.h"

#include <cstdint>
#include <string>

// The edits the controls make, as plain changes of the settings.

// A preset slot's look over `settings` (the rest of them kept), and back.
GeneratorSettings WithSlot(GeneratorSettings settings, const PresetSlot& slot);
void StoreInSlot(const GeneratorSettings& settings, PresetSlot& slot);

// Takes a colour button's value into corner 0..3 (others change nothing); the record's
// byte 3 stays as it was.
void SetCornerFromButton(GeneratorSettings& settings, int corner, uint32_t buttonValue);

// The sliders set their setting and the selected slot's record of it, when the
// selected slot is one of the five. The cloud slider's position is the speed itself.
void SetRotationSlider(GeneratorSettings& settings, PresetBlock& presets, int32_t position);
void SetCloudSpeed(GeneratorSettings& settings, PresetBlock& presets, int32_t speed);

// The status line, e.g. "Quad split - Rotating clockwise - plus clouds 2". The cloud
// set's number is shown with clouds on, or always with `showCloudSet`.
std::string StatusLine(const GeneratorSettings& settings, bool showCloudSet = false);
