#include "mediagen/FileOutput.h"

#include <unistd.h>

namespace vorlane::mediagen {

bool writeThroughTemporary(const std::filesystem::path& destination,
                           const std::function<bool(const std::filesystem::path&)>& write,
                           std::string* error) {
    const std::filesystem::path temporary =
        destination.parent_path() /
        ("." + destination.filename().string() + ".partial-" + std::to_string(::getpid()));
    std::error_code ignored;
    if (!write(temporary)) {
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, destination, renameError);
    if (renameError) {
        std::filesystem::remove(temporary, ignored);
        if (error != nullptr)
            *error = "cannot rename into " + destination.string() + ": " + renameError.message();
        return false;
    }
    return true;
}

}  // namespace vorlane::mediagen
