// The reader choice hands files of the media layer to their readers.
#include <gtest/gtest.h>

#include "formats/ReaderChoice.h"
#include "media/MediaFile.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

TEST(ReaderChoice, PlatformReadFiles) {
    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    const auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    const std::pair<const char*, const char*> cases[] = {
        {"A.MOV", "QuicktimeFile"},    {"b.mp4", "QuicktimeFile"},    {"c.m4a", "QuicktimeFile"},
        {"d.MTS", "AVCHDFile"},        {"e.mp3", "MP3File"},          {"f.aif", "AVFoundationFile"},
        {"g.m2t", "AVFoundationFile"}, {"h.mpg", "AVFoundationFile"},
    };
    for (const auto& [name, reader] : cases) {
        SCOPED_TRACE(name);
        test::writeFile(folder / name, "x");
        const MediaReaderChoice choice = chooseMediaReader(folder / name, *pool);
        ASSERT_TRUE(choice.file) << choice.reason;
        EXPECT_EQ(choice.file->className(), reader);
        EXPECT_EQ(choice.sourceFiles, std::vector<std::shared_ptr<MediaFile>>{choice.file});
        EXPECT_TRUE(isSupportedMediaURL(folder / name));
    }
}

}  // namespace
}  // namespace vorlane
