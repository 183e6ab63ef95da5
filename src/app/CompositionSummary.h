// What the player area shows of a composition until the player exists: its name and sync status,
// then per track its kind and the clips on it (source file, where it starts in the composition,
// how long it lasts).
#pragma once

#include <string>
#include <vector>

namespace vorlane {

class MediaComposition;

struct CompositionSummary {
    struct Clip {
        std::string source;  // the source file's name
        double start = 0.0;  // seconds in the composition
        double duration = 0.0;
    };
    struct Track {
        std::string kind;  // "Video", "Audio", "Timecode"
        std::vector<Clip> clips;
    };

    std::string name;
    std::string status;
    std::vector<Track> tracks;

    // Empty segments (gaps) are left out.
    static CompositionSummary ofComposition(const MediaComposition& composition);
};

}  // namespace vorlane
