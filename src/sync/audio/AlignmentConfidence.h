// How sure a waveform match is: the confidence of an alignment and, below the threshold, why
// the sound cannot confirm.
//
// The peak must stand out of the best correlation found at other places and of the best the
// camera's sound played backwards reaches over the same lags and places (sound surely
// unrelated, with the same spectrum and rhythm: what chance alone gives); it must stand above
// its own echoes by more than the noise can bridge; and the compared window must be long
// enough (a second of speech can match a similar word anywhere).
#pragma once

#include <cstdint>

#include "sync/audio/AudioAlignment.h"
#include "sync/audio/WaveformMatch.h"

namespace vorlane {

// The answer from the best match of a window of `windowSeconds`; `lag` is the camera-start lag
// it gives, `rivals` the best correlation found at other places, `chance` the best correlation
// of the backwards sound.
AudioAlignment alignmentOf(const WindowMatch& match, double windowSeconds, double lag,
                           int32_t recorderRate, double rivals, double chance);

}  // namespace vorlane
