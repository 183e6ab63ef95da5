// The standard user defaults written at first start: the settings sheet's general settings, the
// factory AV shift presets, and the main window's keys, in that order.
#pragma once

#include "platform/UserDefaults.h"

namespace vorlane::StandardDefaults {

// The AV shift panel's part: the factory presets and `avShiftPresetsWritten`, only when that
// flag is not yet set; synchronises.
void createAVShiftPresets(UserDefaults& defaults);
// The main window's part: `defaultsWritten`, `keepOriginalAudio` and `multicam` on, and the
// application and operating-system versions, and no update announcement URL; synchronises.
void createMainWindowDefaults(UserDefaults& defaults);

// First start: writes all three parts when `defaultsWritten` is not set. True when it wrote.
bool createIfNeeded(UserDefaults& defaults);
// Forgets every stored value (presets included) and writes all three parts again.
void reset(UserDefaults& defaults);

// Lets the standard values stand in for absent keys, and drops each stored value that does not
// fit its key (null, another type, out of range) with one warning in the log naming the key, so
// that the standard value applies (and the next synchronize writes the file without it). Keys
// the application does not know stay as they are.
void applyToStoredValues(UserDefaults& defaults);

}  // namespace vorlane::StandardDefaults
