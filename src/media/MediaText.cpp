#include "media/MediaText.h"

#include <cstdarg>

#include "platform/Text.h"

namespace vorlane {

std::string formatMediaText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatTextWithArguments(format, arguments);
    va_end(arguments);
    return text;
}

}  // namespace vorlane
