// Runs another program with an argument list (never through a shell) and collects its output.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorlane {

struct ProcessResult {
    int exitStatus = -1;  // the program's exit status; -1 when it ended by a signal
    std::string standardOutput;
    std::string standardError;
};

// Runs `arguments[0]` (looked up in PATH) with the rest as its arguments and waits for it.
// Nothing when the program cannot be started.
std::optional<ProcessResult> runProcess(const std::vector<std::string>& arguments);

// True when a program of that name is found in PATH.
bool programExists(const std::string& name);

}  // namespace vorlane
