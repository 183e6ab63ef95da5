#include "platform/ffmpeg/AtomicOutput.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Text.h"

namespace vorlane {
namespace {

constexpr int kBufferSize = 1 << 20;

}  // namespace

std::unique_ptr<AtomicOutput> AtomicOutput::create(const std::filesystem::path& destination,
                                                   std::string& failure) {
    auto writer = AtomicFileWriter::create(destination);
    if (!writer) {
        failure = AtomicFileWriter::lastFailure();
        return nullptr;
    }
    std::unique_ptr<AtomicOutput> output(new AtomicOutput(std::move(writer)));
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
    if (buffer)
        output->io_ =
            avio_alloc_context(buffer, kBufferSize, 1, output.get(), nullptr, &writePacket, &seek);
    if (!output->io_) {
        av_free(buffer);
        failure = systemErrorText(ENOMEM);
        return nullptr;
    }
    return output;
}

AtomicOutput::AtomicOutput(std::unique_ptr<AtomicFileWriter> writer) : writer_(std::move(writer)) {}

AtomicOutput::~AtomicOutput() {
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
}

void AtomicOutput::markTrailer() {
    avio_flush(io_);
    keeping_ = true;
    trailerOffset_ = writer_->position();
    trailer_.clear();
}

void AtomicOutput::keep(std::span<const uint8_t> bytes) {
    const uint64_t position = writer_->position();
    if (!keeping_ || position < trailerOffset_) return;
    const size_t start = size_t(position - trailerOffset_);
    if (trailer_.size() < start + bytes.size()) trailer_.resize(start + bytes.size());
    std::copy(bytes.begin(), bytes.end(), trailer_.begin() + std::ptrdiff_t(start));
}

int AtomicOutput::writePacket(void* opaque, uint8_t* buffer, int size) {
    auto* self = static_cast<AtomicOutput*>(opaque);
    const std::span<const uint8_t> bytes(buffer, size_t(size));
    self->keep(bytes);
    if (!self->writer_->write(bytes)) {
        self->writeFailure_ = AtomicFileWriter::lastFailure();
        self->diskFull_ = self->writeFailure_ == systemErrorText(ENOSPC);
        return AVERROR(self->diskFull_ ? ENOSPC : EIO);
    }
    self->length_ = std::max(self->length_, self->writer_->position());
    return size;
}

int64_t AtomicOutput::seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<AtomicOutput*>(opaque);
    const int64_t length = int64_t(std::max(self->length_, self->writer_->position()));
    int64_t position = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return length;
        case SEEK_SET:
            position = offset;
            break;
        case SEEK_CUR:
            position = int64_t(self->writer_->position()) + offset;
            break;
        case SEEK_END:
            position = length + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (position < 0) return AVERROR(EINVAL);
    self->length_ = uint64_t(length);
    self->writer_->seek(uint64_t(position));
    return position;
}

bool AtomicOutput::overwrite(uint64_t offset, std::span<const uint8_t> bytes) {
    avio_flush(io_);
    const uint64_t end = writer_->position();
    writer_->seek(offset);
    keep(bytes);
    const bool written = writer_->write(bytes);
    writer_->seek(std::max(end, writer_->position()));
    return written;
}

bool AtomicOutput::commit() {
    avio_flush(io_);
    if (io_->error < 0 || !writeFailure_.empty()) return false;
    if (writer_->commit()) return true;
    writeFailure_ = AtomicFileWriter::lastFailure();
    diskFull_ = writeFailure_ == systemErrorText(ENOSPC);
    return false;
}

}  // namespace vorlane
