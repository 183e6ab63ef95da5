// A sync-layer header that names FFmpeg directly: the layer check refuses it.
#pragma once
#include <libavformat/avformat.h>

#include "media/MediaFile.h"
