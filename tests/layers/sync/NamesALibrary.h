// A sync-layer header that names FFmpeg directly: the layer check refuses it.
#pragma once
#include "media/MediaFile.h"
#include <libavformat/avformat.h>
