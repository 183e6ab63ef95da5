// Which volumes another computer knows by name: network shares by their share name, labelled
// drives and cards that are plugged in; not the computer's own disks, labelled or not.
#include <gtest/gtest.h>

#include "platform/NamedVolume.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

FileSystem::MountEntry mount(const char* point, const char* type, const char* source) {
    return {0, 0, point, type, source};
}

TEST(NamedVolumeTest, SharesAndPluggedInDrivesHaveNames) {
    const auto share = namedVolumeOf(mount("/mnt/nas", "cifs", "//nas/Media Pool"), {}, false);
    ASSERT_TRUE(share);
    EXPECT_EQ(share->name, "Media Pool");
    EXPECT_EQ(share->mountPoint, "/mnt/nas");
    EXPECT_EQ(namedVolumeOf(mount("/srv/d", "nfs4", "server:/export/dailies/"), {}, false)->name,
              "dailies");
    EXPECT_EQ(namedVolumeOf(mount("/media/alex/CARD", "exfat", "/dev/sdb1"), "A001", false)->name,
              "A001");
    EXPECT_EQ(namedVolumeOf(mount("/mnt/x", "vfat", "/dev/mmcblk0p1"), "SD", true)->name, "SD");

    EXPECT_FALSE(namedVolumeOf(mount("/", "ext4", "/dev/nvme0n1p2"), "System", false));
    EXPECT_FALSE(namedVolumeOf(mount("/media/alex/X", "vfat", "/dev/sdc1"), std::nullopt, true));
    EXPECT_FALSE(namedVolumeOf(mount("/media", "ext4", "/dev/sda3"), "Data", false));
    // Where the tests run: the scratch folder lies on the computer's own storage.
    test::ScratchFolder here;
    EXPECT_FALSE(namedVolumeOfPath(here.path()));
    EXPECT_FALSE(namedVolumeOfPath(here / "missing"));
}

}  // namespace
}  // namespace vorlane
