#include "mediagen/AudioFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "mediagen/FileOutput.h"

namespace vorlane::mediagen {
namespace {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
}

int formatCode(const AudioFileOptions& options) {
    int container = SF_FORMAT_WAV;
    switch (options.container) {
        case AudioContainer::Wav:
            container = SF_FORMAT_WAV;
            break;
        case AudioContainer::WavExtensible:
            container = SF_FORMAT_WAVEX;
            break;
        case AudioContainer::Rf64:
            container = SF_FORMAT_RF64;
            break;
        case AudioContainer::Aiff:
            container = SF_FORMAT_AIFF;
            break;
    }
    switch (options.format) {
        case SampleFormat::Pcm16:
            return container | SF_FORMAT_PCM_16;
        case SampleFormat::Pcm24:
            return container | SF_FORMAT_PCM_24;
        case SampleFormat::Pcm32:
            return container | SF_FORMAT_PCM_32;
        case SampleFormat::Float32:
            return container | SF_FORMAT_FLOAT;
    }
    return container;
}

// Copies text into a fixed field, cut to fit; the field is zero-filled beforehand.
template <size_t N>
void copyField(char (&field)[N], const std::string& text) {
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

SF_BROADCAST_INFO broadcastInfo(const BextFields& fields) {
    SF_BROADCAST_INFO info;
    std::memset(&info, 0, sizeof info);
    std::string description;
    for (const std::string& line : fields.descriptionLines)
        description += line + "\r\n";
    copyField(info.description, description);
    copyField(info.originator, fields.originator);
    copyField(info.originator_reference, fields.originatorReference);
    copyField(info.origination_date, fields.originationDate);
    copyField(info.origination_time, fields.originationTime);
    info.time_reference_low = uint32_t(fields.timeReference);
    info.time_reference_high = uint32_t(fields.timeReference >> 32);
    info.version = 1;
    // libsndfile expects the coding history to end in a line break; it cuts it to 256 bytes.
    std::string history = fields.codingHistory;
    if (!history.empty() && history.back() != '\n') history += "\r\n";
    copyField(info.coding_history, history);
    info.coding_history_size = uint32_t(std::min(history.size(), sizeof info.coding_history));
    return info;
}

bool validOptions(const AudioFileOptions& options, std::string* error) {
    if (options.channels.empty()) return fail(error, "an audio file needs at least one channel");
    for (const Samples& channel : options.channels)
        if (channel.size() != options.channels.front().size())
            return fail(error, "all channels must have the same length");
    if (options.sampleRate <= 0) return fail(error, "the sample rate must be positive");
    if (options.bext && options.container == AudioContainer::Aiff)
        return fail(error, "AIFF files have no bext chunk");
    return true;
}

bool writeSamples(const AudioFileOptions& options, const std::filesystem::path& path,
                  std::string* error) {
    SF_INFO info{};
    info.samplerate = options.sampleRate;
    info.channels = int(options.channels.size());
    info.format = formatCode(options);
    SoundFile file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file) return fail(error, std::string("libsndfile: ") + sf_strerror(nullptr));

    if (options.bext) {
        SF_BROADCAST_INFO bext = broadcastInfo(*options.bext);
        if (sf_command(file.get(), SFC_SET_BROADCAST_INFO, &bext, sizeof bext) != SF_TRUE)
            return fail(error, "libsndfile refused the bext chunk");
    }
    if (!options.ixml.empty()) {
        SF_CHUNK_INFO chunk{};
        std::memcpy(chunk.id, "iXML", 4);
        chunk.id_size = 4;
        chunk.datalen = unsigned(options.ixml.size());
        chunk.data = const_cast<char*>(options.ixml.data());
        const int status = sf_set_chunk(file.get(), &chunk);
        if (status != SF_ERR_NO_ERROR)
            return fail(error, std::string("libsndfile refused the iXML chunk: ") +
                                   sf_error_number(status));
    }
    // Full-scale samples must clip, not wrap around, when they become integers.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const size_t frames = options.channels.front().size();
    const size_t channelCount = options.channels.size();
    constexpr size_t blockFrames = 4096;
    std::vector<float> block(blockFrames * channelCount);
    for (size_t start = 0; start < frames; start += blockFrames) {
        const size_t count = std::min(blockFrames, frames - start);
        for (size_t i = 0; i < count; ++i)
            for (size_t c = 0; c < channelCount; ++c)
                block[i * channelCount + c] = options.channels[c][start + i];
        if (sf_writef_float(file.get(), block.data(), sf_count_t(count)) != sf_count_t(count))
            return fail(error, std::string("libsndfile: ") + sf_strerror(file.get()));
    }
    if (sf_close(file.release()) != 0) return fail(error, "libsndfile could not finish the file");
    return true;
}

}  // namespace

int bitsPerSample(SampleFormat format) {
    switch (format) {
        case SampleFormat::Pcm16:
            return 16;
        case SampleFormat::Pcm24:
            return 24;
        case SampleFormat::Pcm32:
        case SampleFormat::Float32:
            return 32;
    }
    return 0;
}

bool writeAudioFile(const AudioFileOptions& options, std::string* error) {
    if (!validOptions(options, error)) return false;
    return writeThroughTemporary(
        options.path,
        [&](const std::filesystem::path& temporary) {
            return writeSamples(options, temporary, error);
        },
        error);
}

}  // namespace vorlane::mediagen
