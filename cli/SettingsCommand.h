// `vorlane settings [list [--json] | get KEY | set KEY VALUE | reset]`: shows and edits the
// user defaults that the desktop application uses (the same file).
//
//   list   every known key with the value the application reads; "(not set)" marks a key that
//          is absent from the file; keys in the file that the application does not know follow.
//          --json prints one JSON object of those values instead.
//   get    the value of one key, alone on a line (YES/NO, a number, the text, presets as JSON).
//   set    checks the value against the key's type and range before it stores it. Booleans take
//          YES/NO, true/false, on/off or 1/0; pop-up settings take one of their listed indexes;
//          avShiftPresets takes a JSON list of {"camera", "shift"} objects.
//   reset  forgets every stored value and writes the standard values, as at first start.
//
// Exit status: 0 done; 1 the settings file could not be written; 2 usage error, which includes an
// unknown key and a value that does not fit the key's type (nothing is stored then).
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runSettingsCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
