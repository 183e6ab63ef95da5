#include "media/JoinedAudioReader.h"

#include <algorithm>
#include <cmath>

#include "media/MediaObject.h"
#include "media/MediaSegment.h"
#include "media/MediaTrack.h"
#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {

namespace {

int64_t frameAt(CMTime time, int32_t sampleRate) {
    return CMTimeConvertScale(time, sampleRate, CMTimeRoundingMethod::RoundHalfAwayFromZero).value;
}

// The opened media of the track's file: `opened` when that is it (opening probes the file).
std::shared_ptr<MediaAsset> assetOfTrack(const MediaTrack& track,
                                         const std::shared_ptr<MediaAsset>& opened = nullptr) {
    const std::shared_ptr<MediaObject> owner = track.mediaObject();
    const std::optional<std::filesystem::path> url = owner ? owner->mediaURL() : std::nullopt;
    if (!url) return nullptr;
    if (opened && opened->url() == *url) return opened;
    return MediaAsset::assetForSoundWithURL(*url);
}

// The sound format of the first segment whose source opens: what every piece is read as.
struct SoundFormat {
    std::shared_ptr<MediaTrack> track;
    std::shared_ptr<MediaAsset> asset;
    int32_t sampleRate = 0;
    int32_t channelCount = 0;
};

std::optional<SoundFormat> formatOfSegments(const std::vector<MediaSegment>& segments,
                                            int32_t bitDepth) {
    for (const MediaSegment& segment : segments) {
        const std::shared_ptr<MediaTrack> source =
            segment.isEmpty() ? nullptr : segment.sourceTrack();
        const std::shared_ptr<MediaAsset> asset = source ? assetOfTrack(*source) : nullptr;
        if (!asset) continue;
        const auto reader = AudioTrackReader::open(*asset, source->mediaTrackID(),
                                                   segment.timeMapping().source, bitDepth);
        if (reader && reader->channelCount() > 0)
            return SoundFormat{source, asset, reader->sampleRate(), reader->channelCount()};
    }
    return std::nullopt;
}

bool sameSound(const MediaTrack& track, const MediaTrack& reference) {
    return track.audioChannelCount() == reference.audioChannelCount() &&
           std::lround(track.audioSampleRate()) == std::lround(reference.audioSampleRate());
}

}  // namespace

bool JoinedAudioReader::isJoinedTrack(const MediaTrack& track) {
    return std::any_of(track.segments().begin(), track.segments().end(),
                       [&](const MediaSegment& segment) {
                           const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
                           return source && source.get() != &track;
                       });
}

std::unique_ptr<JoinedAudioReader> JoinedAudioReader::open(const MediaTrack& track,
                                                           CMTimeRange range, int32_t bitDepth) {
    if (!range.isValid() || range.start.value < 0) return nullptr;
    if (bitDepth != 8 && bitDepth != 16 && bitDepth != 24 && bitDepth != 32) return nullptr;
    const std::vector<MediaSegment> segments = track.segmentsIncludingSubSegments();
    const std::optional<SoundFormat> format = formatOfSegments(segments, bitDepth);
    if (!format) return nullptr;
    const int32_t rate = format->sampleRate;
    const int64_t first = frameAt(range.start, rate);
    const int64_t last = frameAt(range.end(), rate);
    std::vector<Piece> pieces;
    for (const MediaSegment& segment : segments) {
        const CMTimeRange target = segment.timeMapping().target;
        const int64_t from = std::max(first, frameAt(target.start, rate));
        const int64_t to = std::min(last, frameAt(target.end(), rate));
        if (to <= from) continue;
        Piece piece{nullptr, kCMTimeInvalid, to - from};
        std::shared_ptr<MediaTrack> source = segment.isEmpty() ? nullptr : segment.sourceTrack();
        if (source && sameSound(*source, *format->track)) {
            piece.source = std::move(source);
            piece.sourceStart = CMTimeAdd(segment.timeMapping().source.start,
                                          CMTimeSubtract(CMTimeMake(from, rate), target.start));
        }
        pieces.push_back(std::move(piece));
    }
    if (pieces.empty()) return nullptr;
    auto reader = std::unique_ptr<JoinedAudioReader>(
        new JoinedAudioReader(bitDepth, rate, format->channelCount, first, std::move(pieces)));
    reader->asset_ = format->asset;
    return reader;
}

JoinedAudioReader::JoinedAudioReader(int32_t bitDepth, int32_t sampleRate, int32_t channelCount,
                                     int64_t firstFrame, std::vector<Piece> pieces)
    : bitDepth_(bitDepth),
      sampleRate_(sampleRate),
      channelCount_(channelCount),
      firstFrame_(firstFrame),
      pieces_(std::move(pieces)) {
    for (const Piece& piece : pieces_)
        frameCount_ += piece.frames;
}

JoinedAudioReader::~JoinedAudioReader() = default;

// A piece whose source cannot be opened, or is read as another format, is silence.
void JoinedAudioReader::startPiece() {
    reader_.reset();
    doneInPiece_ = 0;
    const Piece& piece = pieces_[current_];
    if (!piece.source) return;
    asset_ = assetOfTrack(*piece.source, asset_);
    if (asset_)
        reader_ = AudioTrackReader::open(
            *asset_, piece.source->mediaTrackID(),
            CMTimeRangeMake(piece.sourceStart, CMTimeMake(piece.frames, sampleRate_)), bitDepth_);
    if (reader_ && (reader_->channelCount() != channelCount_ ||
                    reader_->sampleRate() != sampleRate_ || reader_->bitDepth() != bitDepth_))
        reader_.reset();
}

void JoinedAudioReader::appendSilence(std::vector<uint8_t>& bytes, int64_t frames) const {
    bytes.insert(bytes.end(), size_t(frames) * bytesPerFrame(), uint8_t(0));
}

// A source that ends early is made up with silence to the piece's length.
bool JoinedAudioReader::readFrames(std::vector<uint8_t>& bytes, int64_t maxFrames) {
    bytes.clear();
    int64_t wanted = std::max<int64_t>(maxFrames, 1);
    while (wanted > 0 && current_ < pieces_.size()) {
        if (doneInPiece_ == 0 && !reader_) startPiece();
        const Piece& piece = pieces_[current_];
        const int64_t left = std::min(wanted, piece.frames - doneInPiece_);
        int64_t got = 0;
        if (reader_ && reader_->readFrames(scratch_, left))
            got = std::min<int64_t>(left, int64_t(scratch_.size() / bytesPerFrame()));
        if (got > 0) {
            bytes.insert(bytes.end(), scratch_.begin(),
                         scratch_.begin() + ptrdiff_t(size_t(got) * bytesPerFrame()));
        } else {
            reader_.reset();
            appendSilence(bytes, left);
            got = left;
        }
        doneInPiece_ += got;
        wanted -= got;
        if (doneInPiece_ >= piece.frames) {
            ++current_;
            doneInPiece_ = 0;
            reader_.reset();
        }
    }
    return !bytes.empty();
}

}  // namespace vorlane
