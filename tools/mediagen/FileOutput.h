// Writing a file under a temporary name beside its destination, then renaming it into place.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace vorlane::mediagen {

// Calls `write` with a temporary path in the destination's folder; when it succeeds the file
// is renamed to `destination` (replacing an older one), otherwise the temporary file is
// removed. False with a message in `error` when writing or renaming fails.
bool writeThroughTemporary(const std::filesystem::path& destination,
                           const std::function<bool(const std::filesystem::path&)>& write,
                           std::string* error);

}  // namespace vorlane::mediagen
