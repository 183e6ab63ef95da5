// Runs the built `vorlane` command with its settings in a folder of the test's own, so no test
// reads or changes the user's settings.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Process.h"

namespace vorlane::test {

// The command's output and exit status; a failed expectation (and an empty result) when it
// cannot be started. A prefix runs it through other programs ({"env", "TMPDIR=/x"}, ...).
ProcessResult runVorlane(const std::filesystem::path& configFolder,
                         const std::vector<std::string>& arguments,
                         const std::vector<std::string>& prefix = {});

}  // namespace vorlane::test
