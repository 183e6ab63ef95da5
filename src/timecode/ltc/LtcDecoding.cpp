#include "timecode/ltc/LtcDecoding.h"

#include "media/MediaFile.h"
#include "timecode/ltc/LtcReader.h"

namespace vorlane {

void decodeAudioTimecode(MediaFile& file, const AudioTimecodeRequest& request) {
    // The decoder keeps the file alive while it reads; a file not held by a shared pointer has
    // no tracks that could point back to it.
    std::shared_ptr<MediaFile> shared =
        std::static_pointer_cast<MediaFile>(file.weak_from_this().lock());
    std::unique_ptr<LtcReader> reader = LtcReader::initWithMediaFile(std::move(shared));
    if (!reader) return;
    double videoFrameRate = 0.0;
    int32_t bestTimeScale = 0;
    {
        std::lock_guard lock(file.mutex());
        if (const std::shared_ptr<MediaTrack> video = file.firstVideoTrack()) {
            videoFrameRate = video->videoFrameRate();
            bestTimeScale = file.bestTimeScale();
        }
    }
    reader->setReadingRanges(request.readingRanges);
    reader->setReadingAlgorithm(request.readingAlgorithm);
    reader->setReadingFrameRate(request.frameRate);
    reader->setVideoFrameRate(videoFrameRate);
    reader->setReadingTrack(request.track);
    reader->setReadingChannel(request.channel);
    reader->setReadingOffset(request.offset);
    if (bestTimeScale > 0) reader->setPreferredTimescale(bestTimeScale);
    reader->findAudioTimecode();
}

}  // namespace vorlane
