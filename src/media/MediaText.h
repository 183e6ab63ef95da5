// printf-style text for the media model's descriptions and log lines.
#pragma once

#include <string>

namespace vorlane {

std::string formatMediaText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vorlane
