// Small text helpers every layer shares: printf-style formatting into a string of any length,
// case mapping of ASCII letters (file extensions, keys, names compared without case; other
// bytes, UTF-8 sequences included, stay as they are), the system's reasons for errors, and texts
// made safe to print on a terminal.
#pragma once

#include <cstdarg>
#include <filesystem>
#include <string>
#include <string_view>

namespace vorlane {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextWithArguments(const char* format, va_list arguments)
    __attribute__((format(printf, 1, 0)));

std::string upperCased(std::string text);
std::string lowerCased(std::string text);
// The file name's extension without its dot, upper-cased ("MOV" for "A001.mov"; "" without one).
std::string upperCasedExtension(const std::filesystem::path& url);

// The system's reason for an error number, starting in lower case ("no space left on device").
std::string systemErrorText(int error);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUTF8(std::string_view text);
// The text with what a terminal would act on escaped: control characters (C0, DEL and C1) as
// "\n", "\t", "\r", "\e" or "\xHH" (C1 as "\u0085"), and bytes that are not UTF-8 as "\xHH".
// With `keepLineBreaks` a "\n" stays a line break (for texts of several lines).
std::string printableText(std::string_view text, bool keepLineBreaks = false);

}  // namespace vorlane
