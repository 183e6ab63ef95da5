#include "support/TestSupport.h"

#include <fstream>
#include <iterator>
#include <random>

#include "TestPaths.h"
#include "platform/Process.h"

namespace vorlane::test {

std::optional<std::filesystem::path> sharedTestData() {
    const std::filesystem::path path =
        std::filesystem::path(VORLANE_SOURCE_DIR).parent_path() / "shared" / "testdata";
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) return std::nullopt;
    return path;
}

ScratchFolder::ScratchFolder() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("vorlane-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path_)) break;
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string runTool(const std::vector<std::string>& arguments) {
    const auto result = runProcess(arguments);
    if (!result) {
        ADD_FAILURE() << "cannot start " << arguments.front();
        return {};
    }
    if (result->exitStatus != 0) {
        ADD_FAILURE() << arguments.front() << " failed (" << result->exitStatus
                      << "): " << result->standardError;
    }
    return result->standardOutput;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vorlane::test
