// Writes the media pool and its synced compositions as an XML interchange document (xmeml
// version 4, read by classic editing systems): a bin named after the document with one master
// clip per imported file in "Original Media", the synced clips in "Synced Media" and those that
// did not sync in "Remaining Media" (as master clips with clip items, or as nested sequences
// marked as merged clips), and the sync map as a sequence.
//
// Times are whole frame counts. Every clip, clip item and sequence has an id of its own (readers
// resolve an id to the first element that carries it). Every clip item carries a `file`
// element: the first one of a file in the document describes it in full, every later one only
// names its id.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <string>

#include "export/ExportXMLElement.h"
#include "export/MediaExport.h"
#include "platform/CMTime.h"

namespace vorlane {

class MediaComposition;
class MediaFile;
class MediaSegment;
class MediaTrack;
class TCHelper;

class XMLExport : public MediaExport {
  public:
    // Values of xmlEncoding.
    enum Encoding : uint32_t {
        EncodingClips = 0,            // synced clips as master clips with clip items
        EncodingMergedSequences = 1,  // synced clips as nested sequences marked as merged clips
    };
    // The clip index of a segment that its track does not hold.
    static constexpr int64_t kNotFound = std::numeric_limits<int64_t>::max();

    explicit XMLExport(const UserDefaults& defaults = UserDefaults::standardUserDefaults());

    uint32_t xmlEncoding() const { return xmlEncoding_; }
    void setXmlEncoding(uint32_t encoding) { xmlEncoding_ = encoding; }
    ExportXMLElement& rootNode() { return rootNode_; }

    // Appends a bin to the node and answers its `children` element, where its content goes.
    ExportXMLElement& addBin(const std::string& name, ExportXMLElement& node);
    // One master clip of a file.
    void addMasterClip(const std::shared_ptr<MediaFile>& file, ExportXMLElement& node);
    // A synced clip in the style of xmlEncoding.
    void addClip(const std::shared_ptr<MediaComposition>& composition, ExportXMLElement& node);
    // A composition as a sequence (the sync map).
    void addSequence(const std::shared_ptr<MediaComposition>& composition, ExportXMLElement& node);

    // Writes the document atomically; false when it could not be written.
    bool exportToURL(const std::filesystem::path& url);
    // The document as exportToURL writes it.
    std::string xmlString();

    // Identifiers.
    // "<name>_<type>_<n>" with a counter of the whole program run.
    static std::string uniqueIdWithName(const std::string& name, const std::string& type);
    // "<name>_<hash of the path>_<size>_file".
    static std::string uniqueFileIdWithMediaFile(const MediaFile& file);
    // The 1-based position of the segment among the track's segments with material.
    static int64_t clipIndexOfSegment(const MediaSegment& segment, const MediaTrack& track);
    // The 1-based number of the track's channel within its file.
    static int64_t audioTrackIndexOfTrack(const MediaTrack& track, int64_t channelOffset);

  private:
    struct ClipItemPlace {
        const MediaSegment* segment;
        const MediaTrack* compositionTrack;
        int64_t clipIndex;
    };

    double rateOrProject(double rate) const { return rate > 0.0 ? rate : projectFramerate(); }
    void addFrameRate(double rate, ExportXMLElement& node) const;
    void addTimeElementWithName(const std::string& name, CMTime time, double rate,
                                ExportXMLElement& node) const;
    void addName(const std::string& name, double rate, CMTime duration,
                 ExportXMLElement& node) const;
    ExportXMLElement& addTimecode(const std::shared_ptr<TCHelper>& timecode,
                                  ExportXMLElement& node) const;
    void addAudioLevel(double level, double pan, ExportXMLElement& node) const;
    void addFileNode(const MediaFile& file, ExportXMLElement& node);
    void addAudioInfo(const MediaFile& file, ExportXMLElement& node) const;
    void addAudioGroup(int32_t index, ExportXMLElement& node) const;
    void addFCP7CodecSpecificDataToNode(ExportXMLElement& node) const;
    void scaleFilterForSegment(const MediaSegment& segment, ExportXMLElement& node) const;
    // The clip item's id: "<name>_V<track>_<index>" or "<name>_A<channel>_<index>", numbered on
    // ("-2", "-3", ...) when the document already has a clip item of that id, since a reader
    // takes every element of one id for the first (its timing included).
    std::string clipItemId(const MediaSegment& segment, int64_t channel, int64_t clipIndex);
    ExportXMLElement& createClipItemForVideoSegment(const ClipItemPlace& place,
                                                    ExportXMLElement& node);
    ExportXMLElement& createClipItemForAudioSegment(const ClipItemPlace& place, int64_t channel,
                                                    ExportXMLElement& node);
    void addSequenceInternal(const std::shared_ptr<MediaComposition>& composition,
                             bool isMergedClip, ExportXMLElement& node);
    void addSequenceAudio(const MediaComposition& composition, ExportXMLElement& media);
    void addLinkInformationToMediaNode(ExportXMLElement& media) const;
    void addClipFCP(const std::shared_ptr<MediaComposition>& composition, ExportXMLElement& node);
    // Makes the first `file` element of every file in document order the full one.
    void moveFileDefinitionsFirst();

    uint32_t xmlEncoding_ = EncodingClips;
    ExportXMLElement rootNode_{"xmeml"};
    std::set<std::string> fileCache_;
    std::set<std::string> clipItemIds_;
};

}  // namespace vorlane
