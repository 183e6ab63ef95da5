// Small text helpers every layer shares: printf-style formatting into a string of any length,
// and case mapping of ASCII letters (file extensions, keys, names compared without case; other
// bytes, UTF-8 sequences included, stay as they are).
#pragma once

#include <cstdarg>
#include <filesystem>
#include <string>

namespace vorlane {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextWithArguments(const char* format, va_list arguments)
    __attribute__((format(printf, 1, 0)));

std::string upperCased(std::string text);
std::string lowerCased(std::string text);
// The file name's extension without its dot, upper-cased ("MOV" for "A001.mov"; "" without one).
std::string upperCasedExtension(const std::filesystem::path& url);

}  // namespace vorlane
