// A media-layer header that reaches up into the sync layer: the layer check refuses it.
#pragma once
#include <vector>

#include "sync/MediaSyncIndex.h"
