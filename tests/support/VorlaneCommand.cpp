#include "support/VorlaneCommand.h"

#include <gtest/gtest.h>

#include "TestPaths.h"

namespace vorlane::test {

ProcessResult runVorlane(const std::filesystem::path& configFolder,
                         const std::vector<std::string>& arguments,
                         const std::vector<std::string>& prefix) {
    std::vector<std::string> command = prefix;
    command.insert(command.end(), {"env", "VORLANE_CONFIG_DIR=" + configFolder.string(),
                                   VORLANE_BINARY_DIR "/vorlane"});
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto result = runProcess(command);
    EXPECT_TRUE(result) << "cannot start vorlane";
    return result.value_or(ProcessResult{});
}

}  // namespace vorlane::test
