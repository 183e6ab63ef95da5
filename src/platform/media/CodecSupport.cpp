#include "platform/media/CodecSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <initializer_list>

namespace vorlane::CodecSupport {

bool professionalFormatsDecode() {
    const std::initializer_list<const char*> decoders = {"prores", "dnxhd", "h264"};
    return std::all_of(decoders.begin(), decoders.end(), [](const char* name) {
        return avcodec_find_decoder_by_name(name) != nullptr;
    });
}

bool professionalFormatsEncode() {
    const std::initializer_list<const char*> encoders = {"prores_ks", "dnxhd", "libx264"};
    return std::all_of(encoders.begin(), encoders.end(), [](const char* name) {
        return avcodec_find_encoder_by_name(name) != nullptr;
    });
}

}  // namespace vorlane::CodecSupport
