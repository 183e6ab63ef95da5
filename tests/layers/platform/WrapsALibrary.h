// The platform layer may name libraries.
#pragma once
#include <libavformat/avformat.h>
