// MXF files (Sony XDCAM and XAVC, Canon, Panasonic P2, ARRI, Avid OP-Atom media) read with our
// own parser: the partitions, the header metadata and the index segments are read, the essence
// is never touched. The material package's tracks become the file's video, audio and timecode
// tracks: each picture and sound track is followed to the source package and essence descriptor
// in this file (codec, picture size, rate, sound format), each timecode track gives the start
// timecode at its exact rate and drop-frame setting. The Identification set names maker, model
// and date; the clip XML of Sony and Canon cameras adds what it describes.
//
// The file is opened at creation and closed once analysed, so a folder of thousands of clips
// does not hold thousands of open files; the structure read stays with the object. Playback and
// export open the file itself (`mediaURL` is the source), as the platform reads MXF.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/mxf/MXFFileStructure.h"
#include "media/MediaFile.h"

namespace vorlane {

class FileReader;
class TCHelper;
class UserDefaults;

class MXFFile : public MediaFile {
  public:
    // The audio tracks taken from a material package unless "mxfAudioOptions" limits them.
    static constexpr int32_t kDefaultMaxAudioTrackCount = 128;

    // initWithURL: the file opened for reading, with the audio limit from "mxfAudioOptions" of
    // the given (else the standard) defaults; nullptr when it cannot be opened.
    static std::shared_ptr<MXFFile> initWithURL(const std::filesystem::path& url);
    static std::shared_ptr<MXFFile> initWithURL(const std::filesystem::path& url,
                                                const UserDefaults& defaults);
    // A file read from an open reader (bytes in memory when fuzzing); `url` only names it.
    static std::shared_ptr<MXFFile> fileWithReader(
        std::filesystem::path url, std::unique_ptr<FileReader> reader,
        int32_t maxAudioTrackCount = kDefaultMaxAudioTrackCount);
    // "mxfAudioOptions" 2, 3 and 4 take the first 2, 4 and 8 audio tracks; others all.
    static int32_t maxAudioTrackCountForOption(int64_t mxfAudioOptions);

    MXFFile(std::filesystem::path url, std::shared_ptr<MXFRawAccess> raw,
            int32_t maxAudioTrackCount);

    // Files whose extension is MXF in any case.
    static bool isSupportedURL(const std::filesystem::path& url);
    // A Canon clip recorded over several files: in a folder named by the first six characters
    // of the clip's name, whose clip-info file (those characters + ".CIF") counts two or more
    // files, the MXF files of the folder in folder order. Nothing for a single-file clip, a
    // missing or foreign clip-info file, or fewer than two files.
    static std::optional<std::vector<std::filesystem::path>> spannedFilesForURL(
        const std::filesystem::path& url);

    // Base analysis, then the container (analyzeMXF), then LTC and the AV shift as asked.
    void analyzeWithOptions(const MetadataDictionary& options) override;
    // Loads the structure, then the metadata and the tracks; the file is closed afterwards. False
    // (the caution thumbnail set, no tracks) when the structure cannot be read.
    bool analyzeMXF();
    // The thumbnail: the camera's thumbnail file ("OriginalThumbnailURL"), else the first frame
    // decoded by the media layer, else the unavailable picture; the audio picture without video.
    void makeThumbnail();
    // The QuickTime reference movie of the file's essence (MXFReferenceMovie), written as
    // "<uuid>.mov" into the folder, replacing a file of that name; its path, or nothing (the
    // reason logged) when the tracks cannot be read through the index or the movie not written.
    // `mediaURL` stays the source, which the media layer plays itself.
    std::optional<std::filesystem::path> makeQTRef(const std::filesystem::path& folder) const;

    // The structure loaders (see MXFFileStructure).
    bool loadPartitions();
    bool loadHeaderMetadata();
    bool loadIndexTables();
    // Maker, model and date from the Identification set, then the camera's clip XML.
    void analyzeMetadata();
    // The file's tracks from the material package.
    void loadTracks();

    const std::vector<std::shared_ptr<MXFPartitionPack>>& partitions() const {
        return structure_.partitions();
    }
    const std::shared_ptr<MXFPartitionPack>& headerPartition() const {
        return structure_.headerPartition();
    }
    const std::shared_ptr<MXFPartitionPack>& footerPartition() const {
        return structure_.footerPartition();
    }
    const std::shared_ptr<MXFPartitionPack>& firstPartitionContainingEssence() const {
        return structure_.firstPartitionContainingEssence();
    }
    const std::shared_ptr<MXFPrimerPack>& primerPack() const { return structure_.primerPack(); }
    uint64_t primerPackOffset() const { return structure_.primerPackOffset(); }
    const std::vector<std::shared_ptr<MXFMetadataSet>>& metadataSets() const {
        return structure_.metadataSets();
    }
    const std::vector<std::shared_ptr<MXFIndexTable>>& indexTables() const {
        return structure_.indexTables();
    }
    int32_t maxAudioTrackCount() const { return maxAudioTrackCount_; }
    // Bytes read from the file by the analysis so far.
    uint64_t bytesRead() const;

    // The first set whose "InstanceUID" is the reference.
    std::shared_ptr<MXFMetadataSet> findMetadataSetWithIdentifier(
        const MXFIdentifier& reference) const;
    // The first set whose "PackageUID" is the package ID.
    std::shared_ptr<MXFMetadataSet> findPackageWithIdentifier(const MXFIdentifier& packageID) const;
    // The first set whose key matches the pattern (MXFMetadataSet::identifierWithKind).
    std::shared_ptr<MXFMetadataSet> searchHeaderForIdentifier(const MXFIdentifier& pattern) const;
    // The essence descriptor of one source track: the referenced descriptor itself, or among
    // the sub-descriptors of a MultipleDescriptor that describe the track's kind (the element's
    // item type, else `trackType`) the one linked to `sourceTrackID`, else the one at the
    // element number's position, else the only one. nullptr when none fits.
    std::shared_ptr<MXFMetadataSet> lookupDescriptor(const MXFIdentifier& descriptor,
                                                     uint32_t trackNumber, int32_t trackType = 0,
                                                     uint32_t sourceTrackID = 0) const;

    // The file's XML ("XMLRawData", else the document at "XMLMetaDataURL"), pretty printed.
    std::optional<std::string> xmlDescription() const;
    // The same for any file holding those metadata items.
    static std::optional<std::string> xmlDescriptionOf(const MediaFile& file);
    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "MXFFile"; }

  private:
    // The open reader, reopening the file when it was closed after an earlier analysis.
    bool openRaw();
    void closeRaw();
    // Device, reel and take information from the clip XML of Sony and Canon cameras.
    void readCameraClipXML(const std::string& maker);
    void readSonyClipXML();
    void indexMetadataSets();
    // A track's sequence (or the single component some writers put in its place) and the
    // first component of it; nullptr for what the track lacks.
    struct TrackSegment {
        std::shared_ptr<MXFMetadataSet> sequence;
        std::shared_ptr<MXFMetadataSet> component;
    };
    TrackSegment segmentOfTrack(const MXFMetadataSet& track) const;
    // Picture, sound or timecode by a component's data definition; 0 for anything else.
    int32_t trackTypeOfComponent(const MXFMetadataSet& component) const;
    // The track a source clip refers to in a source package of this file; the package is
    // handed out through `package` when it is one, even without the track.
    std::shared_ptr<MXFMetadataSet> referencedSourceTrack(
        const MXFMetadataSet& sourceClip, std::shared_ptr<MXFMetadataSet>* package) const;
    // The start timecode of a material track through the package chain: material clip, file
    // package track, its clip's tape package, that package's timecode component plus the
    // clip's start position. nullptr when the chain breaks.
    std::shared_ptr<TCHelper> physicalSourceTimecode(const MXFMetadataSet& track) const;
    void addMaterialTrack(const MXFMetadataSet& track, int32_t (&counters)[4]);
    bool describeEssenceTrack(MediaTrack& track, const MXFMetadataSet& component) const;

    std::shared_ptr<MXFRawAccess> raw_;
    MXFFileStructure structure_;
    int32_t maxAudioTrackCount_;
    uint64_t bytesReadBeforeClose_ = 0;
    std::unordered_map<std::string, std::shared_ptr<MXFMetadataSet>> setsByInstanceUID_;
    std::unordered_map<std::string, std::shared_ptr<MXFMetadataSet>> packagesByUID_;
};

}  // namespace vorlane
