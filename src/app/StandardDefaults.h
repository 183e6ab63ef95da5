// The standard user defaults written at first start: the settings sheet's general settings, the
// factory AV shift presets, and the main window's keys, in that order.
#pragma once

#include "platform/UserDefaults.h"

namespace vorlane::StandardDefaults {

// The AV shift panel's part: the factory presets and `avShiftPresetsWritten`, only when that
// flag is not yet set; synchronises.
void createAVShiftPresets(UserDefaults& defaults);
// The main window's part: `defaultsWritten`, `keepOriginalAudio` and `multicam` on, and the
// application and operating-system versions; synchronises.
void createMainWindowDefaults(UserDefaults& defaults);

// First start: writes all three parts when `defaultsWritten` is not set. True when it wrote.
bool createIfNeeded(UserDefaults& defaults);
// Forgets every stored value (presets included) and writes all three parts again.
void reset(UserDefaults& defaults);

}  // namespace vorlane::StandardDefaults
