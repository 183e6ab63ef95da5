// One channel's measurement over a sample reader's range: its DC offset and the RMS level of
// what is left around it, both in 16-bit sample units. The LTC decoder's thresholds follow them.
#pragma once

#include <cstdint>

namespace vorlane {

struct AudioBufferReaderChannelInfo {
    int64_t channel = 0;
    double analyzedDcOffset = 0.0;
    double analyzedRMS = 128.0;
};

}  // namespace vorlane
