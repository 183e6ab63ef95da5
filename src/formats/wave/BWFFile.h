// WAV files, in particular Broadcast Wave files from field sound recorders: the audio track from
// `fmt `, the start timecode and recorder identity from `bext`, and frame rate, user bits, scene,
// take, tape, file set and channel names from the iXML chunk (or, without one, from the key lines
// of the `bext` description). Also writes `bext` and iXML into an exported WAV file, and finds the
// members of a recording that a Zoom recorder split into several files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaFile.h"

namespace vorlane {

class RiffFile;

class BWFFile : public MediaFile {
  public:
    explicit BWFFile(std::filesystem::path url);

    // Files whose extension is WAV in any case.
    static bool isSupportedURL(const std::filesystem::path& url);
    // A Zoom recording split into numbered files: among zoomFilesForURL, the run of files in
    // folder order that holds the file and whose every start continues the previous file's end
    // within a frame on the timecode clock; nothing for a single file.
    static std::optional<std::vector<std::filesystem::path>> spannedFilesForURL(
        const std::filesystem::path& url);
    // The files of the folder that share a Zoom file's name without the last four digits, in
    // folder order; nothing for another name or fewer than two such files.
    static std::optional<std::vector<std::filesystem::path>> zoomFilesForURL(
        const std::filesystem::path& url);
    // Writes `bext` (with the source's timecode as TimeReference) and iXML into a linear PCM WAV
    // file; the audio is copied unchanged and the file is replaced only when complete. False
    // when the target cannot be read or written or holds no linear PCM.
    static bool writeBWFTimecodeOfMediaFile(const MediaFile& file,
                                            const std::filesystem::path& url);
    // The rest of the first line (lines end at a line break) that contains the key, from right
    // after the key; nothing when no line contains it.
    static std::optional<std::string> findArgument(const std::string& argument,
                                                   const std::string& text);

    void analyzeWithOptions(const MetadataDictionary& options) override;
    // Reads the file's chunks into tracks, timecode and metadata.
    void analyzeBWF();
    // The same from an opened chunk list (the file itself, or bytes in memory when fuzzing).
    void analyzeRiffFile(RiffFile& file);

    // Recorders of the Zaxcom family write one file per channel: each mono file of such a
    // recorder is a device of its own, told apart by its tape name.
    std::string uniqueDeviceID() const override;
    std::optional<std::string> bextDescription() const;
    std::optional<std::string> iXMLDescription() const;
    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "BWFFile"; }
};

}  // namespace vorlane
