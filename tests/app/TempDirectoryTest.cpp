#include <gtest/gtest.h>

#include "app/TempDirectory.h"
#include "support/EnvironmentValue.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::readFile;
using test::ScratchFolder;
using test::writeFile;

TEST(TempDirectoryTest, CreatesAPrivateFolderWithNamedSubFolders) {
    ScratchFolder scratch;
    const auto root = scratch / "deep" / "org.vorlane.studio";
    const auto temp = TempDirectory::createWithURL(root);
    ASSERT_TRUE(temp);
    EXPECT_EQ(std::filesystem::status(root).permissions(), std::filesystem::perms::owner_all);

    const auto qtRef = temp->createTempDirectoryWithName("QtRef");
    ASSERT_TRUE(qtRef);
    EXPECT_EQ(*qtRef, root / "QtRef");
    EXPECT_TRUE(std::filesystem::is_directory(*qtRef));
    EXPECT_EQ(temp->createTempDirectoryWithName("QtRef"), qtRef) << "an existing one is reused";
    EXPECT_FALSE(temp->createTempDirectoryWithName("../outside"));
    EXPECT_FALSE(temp->createTempDirectoryWithName(".."));
    EXPECT_FALSE(temp->createTempDirectoryWithName(""));
    EXPECT_FALSE(std::filesystem::exists(scratch / "deep" / "outside"));

    writeFile(root / "aFile", "");
    EXPECT_FALSE(temp->createTempDirectoryWithName("aFile")) << "a file is not a folder";

    writeFile(*qtRef / "movie.mov", "x");
    temp->removeTempDirectoryWithName("QtRef");
    EXPECT_FALSE(std::filesystem::exists(*qtRef));
    temp->removeTempDirectoryWithName("QtRef");  // absent: nothing happens
}

TEST(TempDirectoryTest, CleanupEmptiesTheFolderWithoutFollowingLinks) {
    ScratchFolder scratch;
    std::filesystem::create_directory(scratch / "precious");
    writeFile(scratch / "precious" / "keep.wav", "keep");
    const auto temp = TempDirectory::createWithURL(scratch / "temp");
    ASSERT_TRUE(temp);
    const auto mxf = *temp->createTempDirectoryWithName("MXF");
    std::filesystem::create_directories(mxf / "a" / "b");
    writeFile(mxf / "a" / "b" / "essence.mov", "x");
    writeFile(temp->url() / "loose.tmp", "x");
    std::filesystem::create_directory_symlink(scratch / "precious", mxf / "link");

    temp->cleanup();
    EXPECT_TRUE(std::filesystem::is_empty(temp->url()));
    EXPECT_EQ(readFile(scratch / "precious" / "keep.wav"), "keep");
}

TEST(TempDirectoryTest, RefusesAFolderItCannotCallItsOwn) {
    ScratchFolder scratch;
    std::filesystem::create_directory(scratch / "elsewhere");
    std::filesystem::create_directory_symlink(scratch / "elsewhere", scratch / "link");
    test::LogCapture log;
    EXPECT_FALSE(TempDirectory::createWithURL(scratch / "link"));
    writeFile(scratch / "file", "");
    EXPECT_FALSE(TempDirectory::createWithURL(scratch / "file"));
    EXPECT_FALSE(TempDirectory::createWithURL(scratch / "file" / "below"));
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[2],
              "TempDirectory: Create folder failed " + (scratch / "file" / "below").string());
}

TEST(TempDirectoryTest, CreateDirAtURLAcceptsWhatExists) {
    ScratchFolder scratch;
    writeFile(scratch / "file", "");
    EXPECT_TRUE(TempDirectory::createDirAtURL(scratch / "file"));
    EXPECT_TRUE(TempDirectory::createDirAtURL(scratch / "a" / "b"));
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "a" / "b"));
}

TEST(TempDirectoryTest, RemovesOneFileOfTheStandardFolder) {
    ScratchFolder scratch;
    test::EnvironmentValue tmpdir("TMPDIR", scratch.path().c_str());
    const auto temp = TempDirectory::create();
    ASSERT_TRUE(temp);
    EXPECT_EQ(temp->url(), scratch / "org.vorlane.studio");
    const auto folder = *temp->createTempDirectoryWithName("CRM");
    writeFile(folder / "clip.mov", "x");
    writeFile(folder / "other.mov", "x");
    TempDirectory::removeTempFileNamed("clip.mov", "CRM");
    TempDirectory::removeTempFileNamed("../other.mov", "CRM");
    EXPECT_FALSE(std::filesystem::exists(folder / "clip.mov"));
    EXPECT_TRUE(std::filesystem::exists(folder / "other.mov"));
}

}  // namespace
}  // namespace vorlane
