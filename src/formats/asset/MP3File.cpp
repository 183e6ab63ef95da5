#include "formats/asset/MP3File.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "formats/asset/ID3Tag.h"
#include "platform/FileReader.h"
#include "platform/Text.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// The number a frame-rate word starts with ("29.97DF" gives 29.97); 0 when there is none.
double leadingNumber(const std::string& text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : 0.0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

MP3File::MP3File(std::filesystem::path url) : AVFoundationFile(std::move(url)) {
    setFileContainerType(MediaFileContainerMP3);
}

bool MP3File::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "MP3";
}

std::optional<std::string> MP3File::findArgument(const std::string& key, const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(' ', start), text.size());
        const std::string word = text.substr(start, end - start);
        if (word.find(key) != std::string::npos) return word.substr(key.size());
        start = end + 1;
    }
    return std::nullopt;
}

void MP3File::analyzeMP3Metadata() {
    const std::unique_ptr<FileReader> reader = FileReader::open(sourceURLPath());
    if (!reader) return;
    const std::optional<ID3v2Tag> v2 = readID3v2Tag(*reader);
    const std::optional<ID3v1Tag> v1 = readID3v1Tag(*reader);
    std::string frames;
    if (v2) {
        for (const char* id : {"TALB", "TPE1", "TIT2"})
            frames += v2->text(id).value_or("") + " ";
    }
    if (v2 && findArgument("TC=", frames)) {
        parseMP3MetaString(frames);
    } else if (v1) {
        parseMP3MetaString(v1->title + " " + v1->artist + " " + v1->album + " ");
    }
}

void MP3File::parseMP3MetaString(const std::string& text) {
    const std::optional<std::string> rate = findArgument("FR=", text);
    if (const std::optional<std::string> timecode = findArgument("TC=", text)) {
        const double frameRate = rate ? TCHelper::quantizedFrameRate(leadingNumber(*rate)) : 0.0;
        const std::shared_ptr<TCHelper> value =
            TCHelper::helperWithFrameRate(frameRate, rate && endsWith(*rate, "DF"));
        value->setSource("ID3 Metadata");
        value->setType(TCTypeFile);
        value->setTimecodeString(*timecode);
        std::lock_guard lock(mutex());
        addTimecodeTrackWithTCHelper(value);
    }
    if (const auto scene = findArgument("SC=", text)) setMetaDataValue(kScene, *scene);
    if (const auto take = findArgument("TK=", text)) setMetaDataValue(kTake, *take);
    if (const auto tape = findArgument("TAPE=", text)) setMetaDataValue(kReel, *tape);
}

void MP3File::analyzeWithOptions(const MetadataDictionary& options) {
    AVFoundationFile::analyzeWithOptions(options);
    analyzeMP3Metadata();
    setThumbnail(defaultThumbnailAudio());
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
}

}  // namespace vorlane
