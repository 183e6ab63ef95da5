// Writes the media pool and its synced compositions as an FCPXML document (version 1.5, 1.6 or
// 1.7) for Final Cut Pro X: one `format` per frame format and one `asset` per source file in the
// resources, and in one event the synced clips, the unsynced files, the project overview, and a
// multicam or all-in-one clip of the sync map, with keywords, metadata and audio roles.
//
// Times are exact rationals ("1001/30000s"), never reduced. Story elements (containers, gaps,
// pictures) lie on the frame grid of their timeline's format, as Final Cut Pro asks; a
// container reaches out to whole frames around its material, so no sound is cut. Sound
// connected to a picture keeps its exact, sub-frame offset: it stays at its distance to the
// picture it plays with, to the sample, wherever that picture went onto the grid.
//
// The export run (ExportRun) creates one exporter per document, adds the clips in its fixed
// order and writes the file. Compositions handed in are adjusted where the format needs it (an
// empty picture track for sound-only clips, the sync map moved onto the frame grid), so each
// run builds its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "export/ExportXMLElement.h"
#include "export/MediaExport.h"
#include "media/MediaSegment.h"
#include "media/MediaTypes.h"
#include "platform/CMTime.h"
#include "platform/MetadataValue.h"

namespace vorlane {

class MediaComposition;
class MediaFile;
class MediaTrack;
class TCHelper;

class FCPXMLExport : public MediaExport {
  public:
    // Encoding types of addComposition.
    enum EncodingType : int32_t {
        EncodingProject = 0,
        EncodingSyncedClip = 1,
        EncodingAllInOne = 2,
    };

    // An exporter writing to the URL; none for a version of 1.0 or less.
    static std::unique_ptr<FCPXMLExport> initWithURL(
        const std::filesystem::path& url, double version,
        const UserDefaults& defaults = UserDefaults::standardUserDefaults());

    FCPXMLExport(std::filesystem::path url, double version, const UserDefaults& defaults);

    const std::filesystem::path& url() const { return url_; }
    double version() const { return version_; }
    const std::string& subRolePrefix() const { return subRolePrefix_; }

    // A composition as a project (0), synced clip (1) or all-in-one clip (2); a name given is
    // set as the composition's name first.
    void addComposition(const std::shared_ptr<MediaComposition>& composition,
                        const std::optional<std::string>& name, int32_t encodingType);
    // The sync map as a multicam clip: one angle per track.
    void addMulticamComposition(const std::shared_ptr<MediaComposition>& composition,
                                const std::string& name);
    // One file that did not sync, as a clip of its own.
    void addMediaFile(const std::shared_ptr<MediaFile>& file,
                      const std::optional<std::string>& name);

    // Adds the keyword collections and writes the file atomically; false when it could not be
    // written (nothing is left behind then).
    bool exportXML();
    // The document as exportXML writes it.
    std::string xmlString();
    // Asks the desktop to open the written file with the application registered for it.
    bool openInFCPX() const;

    // Building blocks.
    // "FFVideoFormat1080p25", "FFVideoFormat3840x2160p2997",
    // "CustomVideoFormat4000x3000p25.000000".
    static std::string videoFormatWithFrameRate(double frameRate, MediaSize size, bool interlaced);
    // One hour of timecode at the timecode's rate.
    static CMTime oneHourWithTC(const TCHelper& timecode);
    // The file has a file timecode that does not come from an unreliable source.
    static bool hasFileUsableTimecode(const MediaFile& file);
    // The recorder's name of channel k (1-based), numbered when several channels share it.
    static std::optional<std::string> uniqueAudioChannelNameForTrack(const MediaTrack& track,
                                                                     int32_t channelNumber);
    // "dialogue.Camera", "dialogue.Boom", "dialogue.Trk3" ... for channel c (0-based).
    std::string getRoleForAudioTrack(const MediaTrack& track, int32_t channel) const;

  private:
    // Where an element lies on its parent's timeline, and where its own timeline starts.
    struct Placement {
        CMTime offset;
        CMTime duration;
        CMTime start;
    };
    // A story element written, with its placement; no node when nothing was written.
    struct StoryElement {
        ExportXMLElement* node = nullptr;
        Placement placement;
    };
    // The frame grid a composition's story is written on (defined with the writer).
    class StoryTimeline;

    bool isVersion15() const { return version_ <= 1.51; }
    bool isVersion16() const { return version_ > 1.51 && version_ <= 1.61; }
    bool isVersion17() const { return version_ > 1.61; }
    const char* syncedClipElementName() const { return isVersion15() ? "clip" : "sync-clip"; }

    size_t addFormatNodeWithFrameRate(double frameRate, MediaSize size, bool interlaced);
    // The frame rate of a format written (0 for the undefined one).
    double frameRateOfFormat(size_t format) const { return formatRates_.at(format); }
    size_t addFormatNodeForMediaFile(const MediaFile* file);
    size_t addFormatNodeForTimecode(const TCHelper* timecode);
    size_t addProjectFormatNode();
    size_t addResourceNodeForMediaFile(const MediaFile& file);
    size_t addMulticamResourceForComposition(const std::shared_ptr<MediaComposition>& composition);

    ExportXMLElement& storyElementNode(ExportXMLElement& parent, const std::string& element,
                                       const std::optional<std::string>& name, CMTime offset,
                                       CMTime duration, CMTime start);
    // A gap over the segment's time range (in an angle, also the gap that sound is anchored to).
    StoryElement gapNodeForEmptySegment(ExportXMLElement& parent, const MediaSegment& segment,
                                        const StoryTimeline& timeline);
    // A clip of a segment: in a storyline, or anchored to an element written before.
    StoryElement assetNodeForSegment(ExportXMLElement& parent, const MediaSegment& segment,
                                     const StoryTimeline& timeline, const StoryElement* anchor);
    ExportXMLElement& clipNodeWithFile(ExportXMLElement& parent, const MediaFile& file,
                                       const Placement& placement, double timelineRate);
    ExportXMLElement& audioSourceNodeWithRole(ExportXMLElement& parent, const std::string& role,
                                              const std::string& srcCh, bool active);
    void addAudioChannelInfosOfMediaFile(const MediaFile& file, ExportXMLElement& node,
                                         bool keepOriginal);
    void addMetadata(const MetadataDictionary* metadata, ExportXMLElement& node);
    void addKeyword(const std::optional<std::string>& keyword, ExportXMLElement& node,
                    CMTimeRange range);
    void addKeywordCollection();
    // The composition's validated timecode (as it was before a move onto the frame grid).
    std::shared_ptr<TCHelper> compositionTimecode(
        const std::shared_ptr<MediaComposition>& composition) const;
    void shiftCompToMatchFrameGrid(const std::shared_ptr<MediaComposition>& composition,
                                   const TCHelper& timecode);
    // A track whose segments connect to the main track's elements, on its lane.
    struct ConnectableTrack {
        const MediaTrack* track;
        std::string lane;
        std::vector<MediaSegment> segments;
    };
    static ConnectableTrack connectableTrack(const MediaTrack& track, bool audio);
    // Connects the segments of the tracks that start inside the main segment to its element.
    void connectSegments(const StoryElement& mainElement, const MediaSegment& mainSegment,
                         const std::vector<ConnectableTrack>& tracks,
                         const StoryTimeline& timeline);
    // The channel mapping and metadata of a clip's file.
    void addChannelsAndMetadata(const MediaFile& file, ExportXMLElement& clip);

    std::filesystem::path url_;
    double version_;
    std::string subRolePrefix_;
    ExportXMLElement rootNode_{"fcpxml"};
    ExportXMLElement* resourcesNode_ = nullptr;
    ExportXMLElement* libraryNode_ = nullptr;
    ExportXMLElement* eventNode_ = nullptr;
    std::vector<std::string> formatCache_;
    std::vector<double> formatRates_;
    std::unordered_map<std::string, size_t> formatPositions_;
    std::vector<std::string> resourceCache_;
    std::unordered_map<std::string, size_t> resourcePositions_;
    std::vector<std::string> keywordCache_;
    std::set<std::string> keywords_;
    bool keywordCollectionsAdded_ = false;
    // Compositions already moved onto the frame grid (moving twice would move them again),
    // with their timecodes from before the move.
    std::vector<std::pair<std::shared_ptr<MediaComposition>, std::shared_ptr<TCHelper>>>
        shiftedCompositions_;
    // Segments already connected to a main segment, by track and position.
    std::set<std::pair<const MediaTrack*, size_t>> usedSegments_;
};

}  // namespace vorlane
