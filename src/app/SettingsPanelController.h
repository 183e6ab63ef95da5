// The general settings: their standard values, the rule for the FCPXML sub-role prefix and the
// two texts that describe the settings in logs. The settings sheet's widgets belong to the GUI,
// which binds them to the keys of app/SettingsTable.
#pragma once

#include <string>

#include "platform/UserDefaults.h"

namespace vorlane {

class SettingsPanelController {
  public:
    explicit SettingsPanelController(UserDefaults& defaults = UserDefaults::standardUserDefaults());

    // Writes the standard value of every general setting, then synchronises the store.
    void createStandardDefaults();

    // The sub-role prefix as it is saved: an empty text becomes "Trk"; of any other text only
    // letters, digits and "_-+#" are kept.
    static std::string subRolePrefixForText(const std::string& text);

    // The settings summary that opens export logs, one "- Name: value\n" line per setting.
    static std::string readableUserDefaults(
        const UserDefaults& defaults = UserDefaults::standardUserDefaults());
    // The one-line form ("metadataHandling:0, clipNaming:0, ...").
    static std::string shortUserDefaults(
        const UserDefaults& defaults = UserDefaults::standardUserDefaults());

    // The sheet's line about the professional video formats of the linked libraries: decoding
    // and encoding, decoding only, or nothing when they cannot even decode them.
    static std::string codecSupportText();

  private:
    UserDefaults& defaults_;
};

}  // namespace vorlane
