// The application's files are found beside an installed program and, for programs run from their
// build folder, in the source tree.
#include <gtest/gtest.h>

#include "platform/Resources.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

TEST(ResourcesTest, AnInstalledProgramUsesItsShareFolderElseTheSourceTree) {
    test::ScratchFolder prefix;
    const std::filesystem::path program = prefix / "bin" / "vorlane";
    const std::filesystem::path sourceTree = Resources::directoryForExecutable(program);
    EXPECT_TRUE(std::filesystem::is_regular_file(sourceTree / "Black.mov")) << sourceTree;

    std::filesystem::create_directories(prefix / "share" / "vorlane");
    EXPECT_EQ(Resources::directoryForExecutable(program), prefix / "share" / "vorlane");

    // This test program runs from the build folder.
    EXPECT_EQ(Resources::directory(), sourceTree);
    EXPECT_EQ(Resources::path("Black.mov"), sourceTree / "Black.mov");
}

}  // namespace
}  // namespace vorlane
