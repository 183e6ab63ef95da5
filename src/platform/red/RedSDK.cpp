#include "platform/red/RedSDK.h"

#include "platform/FileReader.h"

namespace vorlane {

int RedSDK::initialize(const std::filesystem::path&) {
    return 0;
}

std::string RedSDK::version() {
    return "R3D header reader 1.0 (no decoding)";
}

void RedSDK::release() {}

RedClip::RedClip(const std::filesystem::path& path) {
    const auto reader = FileReader::open(path);
    if (!reader) return;
    reader->adviseRandomAccess();
    std::optional<R3DHeader> header = R3DHeaderReader::read(*reader);
    bytesRead_ = reader->bytesRead();
    if (!header) {
        status_ = RedStatus::NotAnR3DClip;
        return;
    }
    header_ = std::move(*header);
    status_ = RedStatus::Ok;
}

std::string RedClip::startTimecode() const {
    return header_.metadataValue("start_timecode").value_or("");
}

}  // namespace vorlane
