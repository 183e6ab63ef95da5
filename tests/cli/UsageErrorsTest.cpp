// Every command refuses arguments it cannot mean with exit status 2 and writes nothing. MEDIA
// stands for a folder without media, OUT for a destination in an empty folder.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"
#include "support/Words.h"

namespace vorlane {
namespace {

constexpr const char* kUsageErrors[] = {"scan",
                                        "scan --fast MEDIA",
                                        "scan --thumbnails",
                                        "info",
                                        "info --json MEDIA",
                                        "sync",
                                        "sync --master",
                                        "sync --fast MEDIA",
                                        "map",
                                        "map --multicam MEDIA",
                                        "ltc",
                                        "ltc MEDIA MEDIA",
                                        "ltc MEDIA --ranges 5",
                                        "ltc MEDIA --algorithm -1",
                                        "ltc MEDIA --track 0",
                                        "ltc MEDIA --channel two",
                                        "ltc MEDIA --fps fast",
                                        "ltc MEDIA --offset",
                                        "ltc MEDIA --no-ltc",
                                        "settings get",
                                        "settings get colour",
                                        "settings set clipNaming",
                                        "settings frobnicate",
                                        "settings set multicam maybe",
                                        "settings get clipNaming --json",
                                        "export",
                                        "export pdf -o OUT MEDIA",
                                        "export fcpxml MEDIA",
                                        "export fcpxml -o OUT",
                                        "export fcpxml --version 1.8 -o OUT MEDIA",
                                        "export xml --version 1.7 -o OUT MEDIA",
                                        "export fcpxml --nested -o OUT MEDIA",
                                        "export xml --open -o OUT MEDIA",
                                        "export fcpxml --rate 25 --drop-frame -o OUT MEDIA",
                                        "export fcpxml --rate 12 -o OUT MEDIA",
                                        "export fcpxml --size 1920 -o OUT MEDIA",
                                        "export fcpxml --size 1280x720 --interlaced -o OUT MEDIA",
                                        "export fcpxml --audio-rate 22050 -o OUT MEDIA",
                                        "export fcpxml --batch -o OUT MEDIA",
                                        "export aaf --version 1.7 -o OUT MEDIA",
                                        "export aaf --size 1920x1080 -o OUT MEDIA",
                                        "export aaf --open -o OUT MEDIA",
                                        "export aaf --nested -o OUT MEDIA",
                                        "export aaf --rate 25 --drop-frame -o OUT MEDIA",
                                        "still MEDIA --at 10:00:00:00 -o OUT",
                                        "still --master MEDIA --at 10:00:00:00 -o OUT",
                                        "still MEDIA --master MEDIA --at 10:00:00:00",
                                        "still MEDIA --master MEDIA --at 10:00:61:00 -o OUT",
                                        "listen MEDIA --master MEDIA --from 10:00:00:00 -o OUT"};

TEST(UsageErrorsTest, ExitWithTwoAndWriteNothing) {
    test::ScratchFolder config, media, out;
    for (const char* line : kUsageErrors) {
        std::vector<std::string> arguments = test::words(line);
        for (std::string& argument : arguments) {
            if (argument == "MEDIA") argument = media.path().string();
            if (argument == "OUT") argument = (out / "x.fcpxml").string();
        }
        EXPECT_EQ(test::runVorlane(config.path(), arguments).exitStatus, 2) << line;
    }
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    EXPECT_TRUE(std::filesystem::is_empty(media.path()));
}

}  // namespace
}  // namespace vorlane
