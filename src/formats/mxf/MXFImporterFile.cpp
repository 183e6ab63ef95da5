#include "formats/mxf/MXFImporterFile.h"

#include "formats/mxf/MXFFile.h"
#include "media/MediaTrack.h"
#include "platform/DefaultsKeys.h"
#include "platform/FileReader.h"
#include "platform/UserDefaults.h"
#include "timecode/TCHelper.h"

namespace vorlane {

MXFImporterFile::MXFImporterFile(std::filesystem::path url, const UserDefaults& defaults)
    : AVFoundationFile(std::move(url)) {
    setFileContainerType(MediaFileContainerMXF);
    setMaxAudioTrackCount(
        MXFFile::maxAudioTrackCountForOption(defaults.integerForKey(DefaultsKey::mxfAudioOptions)));
}

bool MXFImporterFile::isSupportedURL(const std::filesystem::path& url) {
    return MXFFile::isSupportedURL(url);
}

std::optional<std::vector<std::filesystem::path>> MXFImporterFile::spannedFilesForURL(
    const std::filesystem::path& url) {
    return MXFFile::spannedFilesForURL(url);
}

void MXFImporterFile::analyzeWithOptions(const MetadataDictionary& options) {
    // The parser's structure is dropped once its findings are copied.
    std::shared_ptr<MXFFile> parsed = MXFFile::fileWithReader(
        sourceURLPath(), FileReader::open(sourceURLPath()), maxAudioTrackCount());
    if (parsed && !parsed->analyzeMXF()) parsed.reset();
    if (parsed) addParsedMetadata(*parsed);
    AVFoundationFile::analyzeWithOptions(options);
    if (parsed) addParsedTimecodes(*parsed);
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
}

void MXFImporterFile::addParsedMetadata(const MXFFile& parsed) {
    const MetadataDictionary own = metaData();
    for (const auto& [key, value] : parsed.metaData())
        if (!own.contains(key)) setMetaDataValue(key, value);
}

void MXFImporterFile::addParsedTimecodes(const MXFFile& parsed) {
    std::lock_guard lock(mutex());
    if (hasFileTimecode()) return;
    for (const std::shared_ptr<MediaTrack>& source :
         parsed.tracksWithType(MediaTrackTypeTimecode)) {
        if (!source->timecode()) continue;
        const std::shared_ptr<MediaTrack> track =
            addTimecodeTrackWithTCHelper(source->timecode()->copy());
        track->setTimeRange(source->timeRange());
    }
}

std::optional<std::string> MXFImporterFile::xmlDescription() const {
    return MXFFile::xmlDescriptionOf(*this);
}

std::string MXFImporterFile::extendedMetaDescription(int32_t level) const {
    std::string text = AVFoundationFile::extendedMetaDescription(level);
    if (level < 1) return text;
    if (const auto xml = xmlDescription()) text += "\n\n+++ MXF XML-Metadata +++\n\n" + *xml;
    return text;
}

}  // namespace vorlane
