#include <gtest/gtest.h>

#include "app/SyncMasters.h"
#include "sync/SyncTestFiles.h"

namespace vorlane {
namespace {

// Without a named master every file with picture masters a clip; a named master is found by
// its canonical path, and a path the pool did not take gives no master at all.
TEST(SyncMastersTest, NamedMasterByCanonicalPathElseEveryFileWithPicture) {
    auto camera = test::makeCamera({});
    auto recorder = test::makeRecorder({});
    auto pool = test::makeMediaPool({recorder, camera});
    using Files = std::vector<std::shared_ptr<MediaFile>>;
    EXPECT_EQ(syncMasterFiles(*pool, std::nullopt), Files{camera});
    EXPECT_EQ(syncMasterFiles(*pool, "/shoot/camera/../sound/./T001.wav"), Files{recorder});
    EXPECT_TRUE(syncMasterFiles(*pool, "/shoot/sound/T002.wav").empty());
}

}  // namespace
}  // namespace vorlane
