// The read-audio-timecode panel: the parameters for decoding LTC from the selected files' sound
// (frame rate or detection, track, channel, frame offset, where to read, decoding variant),
// remembered in the user defaults. Plain state for the sheet the GUI shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "platform/UserDefaults.h"

namespace vorlane {

class ReadAudioTcPanelController {
  public:
    // The rate menu: "detect", then the rates it can be told.
    static const std::vector<std::string>& frameRateTitles();
    static double frameRateAtIndex(int64_t index);

    explicit ReadAudioTcPanelController(UserDefaults& defaults) : defaults_(defaults) {}

    // The sheet opens: the stored choices and the number of files.
    void loadUserDefaults(size_t filesSelected);
    // "Read": stores the choices and answers the request they make.
    AudioTimecodeRequest readTimecode();

    std::string filesSelectedText() const;

    // Controls (menu indexes; track and channel item 0 is "any").
    int64_t rateIndex = 0;
    int64_t trackIndex = 0;
    int64_t channelIndex = 0;
    int64_t rangesIndex = 1;
    int64_t algorithmIndex = 0;
    std::string offsetText = "0";

  private:
    UserDefaults& defaults_;
    size_t filesSelected_ = 0;
};

}  // namespace vorlane
