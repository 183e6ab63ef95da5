// The demo shooting day: two cameras, a production sound recorder and two more sound files of
// one morning at 25 fps, with a README that states every start timecode and the expected sync.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mediagen/Timecode.h"

namespace vorlane::mediagen {

enum class DemoDevice {
    CameraA,        // QuickTime, timecode track, mono PCM scratch sound
    CameraB,        // MPEG-4, no timecode track, LTC on the second AAC channel
    Recorder,       // poly Broadcast WAV, 48 kHz 24-bit, bext and iXML
    RecorderSplit,  // one recording as three mono Broadcast WAV files (_1, _2, _3)
    PhoneRecorder,  // MP3 with the timecode in its ID3 tags
    LavRecorder,    // AIFF with LTC on its second channel
};

struct DemoFile {
    std::string name;  // file name in the shoot folder
    DemoDevice device;
    Timecode start;    // timecode of the first frame or sample
    int seconds = 10;  // length
    std::string scene;
    std::string take;
    int splitIndex = 0;  // RecorderSplit: 1, 2 or 3, the recorder input this file holds
    bool hasPicture() const {
        return device == DemoDevice::CameraA || device == DemoDevice::CameraB;
    }
    Timecode end() const;  // the first timecode after the file
    std::string timecodeSource() const;
};

struct DemoShoot {
    std::filesystem::path folder;
    std::vector<DemoFile> files;
    std::vector<Timecode> claps;  // moments of a hand clap heard (and, for cameras, seen)
    bool made = false;            // false when a complete shoot was already there
};

// The files and claps of the day, as made by makeDemoShoot.
DemoShoot demoShootPlan(const std::filesystem::path& folder);

// The README text: every file's start and end timecode and the pairs that should sync.
std::string demoShootReadme(const DemoShoot& shoot);

// Makes the shoot in `folder` (created when missing) unless its marker file says a complete
// shoot is there already; processes making the same folder at once take turns. Nothing, with a
// message in `error`, when a file cannot be made.
std::optional<DemoShoot> makeDemoShoot(const std::filesystem::path& folder,
                                       std::string* error = nullptr);

// Every file of the shoot runs at this timecode rate; sound at this sample rate.
inline constexpr Rate demoShootRate = Rate::fps25();
inline constexpr int demoShootSampleRate = 48000;

// The marker file written last, when every file of the shoot is complete.
inline constexpr const char* demoShootMarker = ".vorlane-demo-shoot-complete";

}  // namespace vorlane::mediagen
