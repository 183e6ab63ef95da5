// A FIFO where a sidecar (a Sony clip's C0001M01.XML, a thumbnail) or a media file is expected:
// every reader answers at once that there is nothing to read, instead of waiting for a writer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>

#include "formats/camera_xml/XMLParser.h"
#include "platform/ExifProperties.h"
#include "platform/FileReader.h"
#include "platform/FileSystem.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;

TEST(SidecarFifoTest, ReadersNeverWaitOnAFifo) {
    test::ScratchFolder folder;
    const auto fifo = folder / "C0001M01.XML";
    const auto unknownType = folder / "C0001.BIN";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(unknownType.c_str(), 0600), 0);
    const std::vector<std::pair<const char*, std::function<bool()>>> readers = {
        {"FileReader", [&] { return !FileReader::open(fifo); }},
        {"XMLParser", [&] { return !XMLParser::initWithURL(fifo); }},
        {"ExifProperties", [&] { return !ExifProperties::propertiesOfFile(fifo); }},
        {"typeIdentifier",
         [&] { return FileSystem::typeIdentifier(unknownType) == FileSystem::kTypeData; }},
    };
    for (const auto& [name, read] : readers) {
        auto answer = std::async(std::launch::async, read);
        if (answer.wait_for(5s) == std::future_status::timeout) {
            ADD_FAILURE() << name << " waits on the FIFO";
            // A writer end releases the reader so that the test can end.
            for (const auto& path : {fifo, unknownType}) {
                const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0) ::close(writer);
            }
        }
        EXPECT_TRUE(answer.get()) << name;
    }
}

}  // namespace
}  // namespace vorlane
