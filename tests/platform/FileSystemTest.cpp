#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::runTool;
using test::ScratchFolder;
using test::writeFile;

constexpr const char* kMountInfo =
    "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
    "41 27 0:38 / /tmp rw,nosuid shared:5 - tmpfs tmpfs rw,size=1024k\n"
    "62 27 8:17 / /media/user/MY\\040STICK rw,nosuid,nodev shared:7 master:1 - vfat /dev/sdb1 "
    "rw,fmask=0022\n"
    "63 27 8:33 / /media/user/CARD rw - exfat /dev/sdc1 rw\n"
    "64 27 8:49 / /media/user/DISK rw - ntfs3 /dev/sdd1 rw\n"
    "garbage line without separator\n"
    "66 27 x:y / /broken rw - ext4 /dev/bad rw\n"
    "67 27 254:0 /home /bind/home rw - ext4 /dev/vda rw\n";

TEST(FileSystemTest, ParsesMountInfoWithEscapesAndOptionalFields) {
    const auto entries = FileSystem::parseMountInfo(kMountInfo);
    ASSERT_EQ(entries.size(), 6u) << "malformed lines are skipped";
    EXPECT_EQ(entries[0].mountPoint, "/");
    EXPECT_EQ(entries[0].fileSystemType, "ext4");
    EXPECT_EQ(entries[0].major, 254u);
    EXPECT_EQ(entries[2].mountPoint, "/media/user/MY STICK");
    EXPECT_EQ(entries[2].fileSystemType, "vfat");
    EXPECT_EQ(entries[2].source, "/dev/sdb1");
    EXPECT_EQ(entries[2].minor, 17u);
}

TEST(FileSystemTest, FindsTheMountOfAPathAndFoldsFatIntoMsdos) {
    const auto entries = FileSystem::parseMountInfo(kMountInfo);
    const auto typeOf = [&](const char* path,
                            std::optional<std::pair<unsigned, unsigned>> device = std::nullopt) {
        const auto entry = FileSystem::mountEntryForPath(entries, path, device);
        return entry ? FileSystem::normalizedFileSystemType(entry->fileSystemType) : "none";
    };
    EXPECT_EQ(typeOf("/media/user/MY STICK/Export/clip.mov"), "msdos");
    EXPECT_EQ(typeOf("/media/user/MY STICK"), "msdos");
    EXPECT_EQ(typeOf("/media/user/CARD/A001"), "msdos");
    EXPECT_EQ(typeOf("/media/user/DISK/x"), "ntfs3");
    EXPECT_EQ(typeOf("/media/user/DISKsub/x"), "ext4") << "whole components only";
    EXPECT_EQ(typeOf("/media/user/MY STICKER/x"), "ext4") << "a longer name is another folder";
    EXPECT_EQ(typeOf("/tmp/x"), "tmpfs");
    EXPECT_EQ(typeOf("/home/x"), "ext4");
    EXPECT_EQ(typeOf("relative/path"), "none");
    // The device decides over a longer mount point of another device.
    EXPECT_EQ(typeOf("/tmp/x", std::pair(254u, 0u)), "ext4");
    EXPECT_EQ(FileSystem::normalizedFileSystemType("msdos"), "msdos");
    EXPECT_EQ(FileSystem::normalizedFileSystemType("btrfs"), "btrfs");
}

// Media made by ffmpeg, stored without extension, is recognised by its content.
TEST(FileSystemTest, RecognisesMediaMadeByFfmpegByContent) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    struct Case {
        const char* format;
        const char* extension;
        std::vector<std::string> input;
        const char* expected;
    };
    const std::vector<std::string> picture = {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25",
                                              "-t", "0.2"};
    const std::vector<std::string> sound = {"-f", "lavfi", "-i", "sine=frequency=1000",
                                            "-t", "0.2"};
    const std::vector<Case> cases = {
        {"mov", "mov", picture, FileSystem::kTypeQuickTimeMovie},
        {"mp4", "mp4", picture, FileSystem::kTypeMPEG4},
        {"mpegts", "ts", picture, FileSystem::kTypeMPEG2TransportStream},
        {"mxf", "mxf", picture, FileSystem::kTypeMXF},
        {"wav", "wav", sound, FileSystem::kTypeWaveformAudio},
        {"aiff", "aif", sound, FileSystem::kTypeAIFFAudio},
        {"mp3", "mp3", sound, FileSystem::kTypeMP3},
    };
    for (const Case& c : cases) {
        const auto named = folder / (std::string("clip.") + c.extension);
        std::vector<std::string> arguments = {"ffmpeg", "-v", "error", "-y"};
        arguments.insert(arguments.end(), c.input.begin(), c.input.end());
        if (std::string(c.format) == "mxf")
            arguments.insert(arguments.end(), {"-c:v", "mpeg2video"});
        arguments.insert(arguments.end(), {"-f", c.format, named.string()});
        runTool(arguments);
        const auto bare = folder / (std::string("clip-") + c.format);
        std::filesystem::copy_file(named, bare);
        EXPECT_EQ(FileSystem::typeIdentifier(named), c.expected) << c.format;
        EXPECT_EQ(FileSystem::typeIdentifier(bare), c.expected) << c.format << " by content";
    }
}

TEST(FileSystemTest, OtherFilesAndFoldersGetGenericTypes) {
    ScratchFolder folder;
    writeFile(folder / "notes", "plain text");
    writeFile(folder / "project", "<?xml version=\"1.0\"?>\n<fcpxml version=\"1.7\">");
    EXPECT_EQ(FileSystem::typeIdentifier(folder / "notes"), "public.data");
    EXPECT_EQ(FileSystem::typeDescription(folder / "notes"), "Document");
    EXPECT_EQ(FileSystem::typeIdentifier(folder / "project"), "com.apple.finalcutpro.xml");
    EXPECT_EQ(FileSystem::typeIdentifier(folder.path()), "public.folder");
    EXPECT_FALSE(FileSystem::typeIdentifier(folder / "absent.mov"));
    EXPECT_FALSE(FileSystem::typeDescription(folder / "absent.mov"));
}

TEST(FileSystemTest, ReportsSizeDateAndWritabilityOfARealFile) {
    ScratchFolder folder;
    const auto path = folder / "clip.wav";
    const auto before = std::chrono::system_clock::now() - std::chrono::seconds(2);
    writeFile(path, std::string(12345, 'x'));
    const auto after = std::chrono::system_clock::now() + std::chrono::seconds(2);
    EXPECT_EQ(FileSystem::fileSize(path), 12345u);
    EXPECT_FALSE(FileSystem::fileSize(folder.path())) << "folders have no file size";
    const auto created = FileSystem::creationDate(path);
    ASSERT_TRUE(created);
    EXPECT_GE(*created, before);
    EXPECT_LE(*created, after);
    EXPECT_FALSE(FileSystem::creationDate(folder / "absent"));
    EXPECT_TRUE(FileSystem::isWritable(path));
    EXPECT_TRUE(FileSystem::isWritable(folder.path()));
    EXPECT_FALSE(FileSystem::isWritable(folder / "absent"));
}

// The volume facts agree with util-linux and coreutils.
TEST(FileSystemTest, VolumeAttributesAgreeWithFindmntAndDf) {
    VORLANE_REQUIRE_TOOL("findmnt");
    ScratchFolder folder;
    const auto attributes = FileSystem::volumeAttributes(folder.path());
    ASSERT_TRUE(attributes);
    std::string type = runTool({"findmnt", "-n", "-o", "FSTYPE", "-T", folder.path().string()});
    std::string target = runTool({"findmnt", "-n", "-o", "TARGET", "-T", folder.path().string()});
    type.erase(type.find_last_not_of("\n ") + 1);
    target.erase(target.find_last_not_of("\n ") + 1);
    EXPECT_EQ(attributes->fileSystemType, FileSystem::normalizedFileSystemType(type));
    EXPECT_EQ(attributes->mountPoint, target);
    EXPECT_FALSE(attributes->volumeName.empty());

    const std::string df = runTool({"df", "--output=avail", "-B1", folder.path().string()});
    const uint64_t available = std::strtoull(df.substr(df.find('\n') + 1).c_str(), nullptr, 10);
    const uint64_t difference = available > attributes->freeBytes
                                    ? available - attributes->freeBytes
                                    : attributes->freeBytes - available;
    EXPECT_LT(difference, uint64_t(256) << 20) << "others write to the disk meanwhile";
    EXPECT_GE(attributes->totalBytes, attributes->freeBytes);
    EXPECT_FALSE(FileSystem::volumeAttributes(folder / "absent"));
}

TEST(FileSystemTest, OnlyARealFolderOfTheUserIsPrivate) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder / "mine");
    std::filesystem::create_directory_symlink(folder / "mine", folder / "link");
    writeFile(folder / "file", "");
    EXPECT_TRUE(FileSystem::isPrivateDirectory(folder / "mine"));
    EXPECT_FALSE(FileSystem::isPrivateDirectory(folder / "link"));
    EXPECT_FALSE(FileSystem::isPrivateDirectory(folder / "file"));
    EXPECT_FALSE(FileSystem::isPrivateDirectory(folder / "absent"));
}

}  // namespace
}  // namespace vorlane
