// Writing into what is not replaced but written to as a stream: a FIFO, a character device (a
// terminal, /dev/null) or an open descriptor such as standard output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace vorlane::StreamWriter {

// Whether the path (links followed) is a FIFO or a character device.
bool isStream(const std::filesystem::path& path);
// Writes the bytes into such a stream. A FIFO that no program reads is not waited for. Nothing
// when written; else why not.
std::optional<std::string> writeToPath(const std::filesystem::path& path,
                                       std::span<const uint8_t> bytes);
// Writes all bytes to the descriptor; nothing when written, else why not.
std::optional<std::string> writeToDescriptor(int fd, std::span<const uint8_t> bytes);

}  // namespace vorlane::StreamWriter
