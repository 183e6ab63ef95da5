#include "formats/quicktime/AtomHeader.h"

#include <cinttypes>
#include <cstdio>

#include "platform/ByteOrder.h"

namespace vorlane {

std::optional<AtomHeader> AtomHeader::initWithData(std::span<const uint8_t> data) {
    if (data.size() != 8 && data.size() != 16) return std::nullopt;
    const uint32_t size = readBE32(data.data());
    const uint32_t type = readBE32(data.data() + 4);
    if (size != 1) return AtomHeader(type, size, 0, false);
    if (data.size() != 16) return std::nullopt;
    return AtomHeader(type, readBE64(data.data() + 8), 0, true);
}

std::string AtomHeader::description() const {
    char text[128];
    std::snprintf(text, sizeof text,
                  "AtomHeader %s (pos=%" PRId64 ", size=%" PRIu64 ", extSize=%d)",
                  fourCCString(type_).c_str(), int64_t(absoluteFilePosition_), size_,
                  hasExtendedSize_ ? 1 : 0);
    return text;
}

}  // namespace vorlane
