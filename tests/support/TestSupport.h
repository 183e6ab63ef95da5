// Shared helpers of the test suite: the real media beside the project, scratch folders and the
// independent tools that make and check media.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Process.h"

namespace vorlane::test {

// ../shared/testdata beside the project, when present.
std::optional<std::filesystem::path> sharedTestData();

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Runs a tool and returns its standard output; fails the current test when the tool cannot be
// started or exits with a non-zero status.
std::string runTool(const std::vector<std::string>& arguments);

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

}  // namespace vorlane::test

// Skips the current test with a message when ../shared/testdata is absent; else binds `name`.
#define VORLANE_REQUIRE_TESTDATA(name)                                                             \
    const auto name##Optional = ::vorlane::test::sharedTestData();                                 \
    if (!name##Optional) GTEST_SKIP() << "../shared/testdata is absent; real-media check skipped"; \
    const std::filesystem::path name = *name##Optional

// Skips the current test with a message when a tool is not installed.
#define VORLANE_REQUIRE_TOOL(tool)       \
    if (!::vorlane::programExists(tool)) \
    GTEST_SKIP() << tool << " is not installed (scripts/deps installs it)"
