#include "MovieExportCommand.h"

#include <signal.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <optional>

#include "CommandLine.h"
#include "ConsoleProgress.h"
#include "PoolRun.h"
#include "app/ExportCommands.h"
#include "export/MediaExportOptionsController.h"
#include "export/MovieExport.h"
#include "export/MovieExportRun.h"
#include "media/MediaPool.h"
#include "platform/AtomicFileWriter.h"
#include "platform/ByteOrder.h"
#include "platform/Text.h"
#include "platform/media/MovieWriter.h"

namespace vorlane::cli {
namespace {

namespace fs = std::filesystem;

// A video codec of the command line: the option view's item, or a codec the view does not list.
struct VideoCodecChoice {
    const char* name;
    int64_t tag;          // the view's item
    uint32_t override;    // a codec beyond the view's items; 0 for none
    const char* encoder;  // the FFmpeg encoder it needs; nullptr for copying
};

constexpr VideoCodecChoice kVideoCodecs[] = {
    {"copy", 0, 0, nullptr},
    {"h264", 5, 0, "libx264"},
    {"hevc", 10, 0, "libx265"},
    {"prores-proxy", 12, 0, "prores_ks"},
    {"prores-lt", 13, 0, "prores_ks"},
    {"prores", 14, 0, "prores_ks"},
    {"prores-hq", 15, 0, "prores_ks"},
    {"prores-4444", 16, 0, "prores_ks"},
    // DNxHR is re-encoded like the view's codecs (resizable), under its own code.
    {"dnxhr", 14, fourCC("AVdh"), "dnxhd"},
    {"avc-intra-50", 18, 0, "libx264"},
    {"avc-intra-100", 19, 0, "libx264"},
    {"avc-intra-200", 20, 0, "libx264"},
};

struct AudioChoice {
    const char* name;
    int64_t tag;
};
constexpr AudioChoice kAudioChoices[] = {{"keep", 0},       {"lpcm", 1},       {"lpcm-44.1-16", 3},
                                         {"lpcm-48-16", 4}, {"lpcm-48-24", 5}, {"lpcm-96-24", 6}};

std::atomic<bool> interrupted = false;
struct sigaction previousInterrupt {};

// The first Ctrl-C cancels the run; the handler before ours takes the next one.
void onInterrupt(int) {
    interrupted = true;
    ::sigaction(SIGINT, &previousInterrupt, nullptr);
}

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousInterrupt);
}

// The progress panel of the command line: the log on stdout, the percent on stderr, Ctrl-C as
// the cancel button.
class ConsoleMoviePanel : public MovieExportRunPanel {
  public:
    ConsoleMoviePanel(ConsoleProgress* progress, const std::string& title) : progress_(progress) {
        if (progress_) progress_->startWithTitle(title);
    }
    void logEntry(const std::string& text) override {
        std::cout << printableText(text, true) << std::flush;
    }
    void setPercent(double percent) override {
        if (progress_) progress_->setPercent(percent);
    }
    void stop() override {
        if (progress_) progress_->stop();
    }
    bool aborted() const override { return interrupted; }

  private:
    ConsoleProgress* progress_;
};

int failure(const std::string& message) {
    std::cerr << "vorlane: error: " << message << "\n";
    return kExitInputFailed;
}

struct MovieChoices {
    MediaExportOptionsController options;
    uint32_t codecOverride = 0;
    uint32_t bitRate = 0;
    fs::path folder;
};

std::optional<MovieChoices> parseChoices(const ParsedArguments& arguments,
                                         const UserDefaults& defaults, int& status) {
    const auto fail = [&](const std::string& message) {
        status = usageError(message);
        return std::nullopt;
    };
    MovieChoices choices;
    MovieExport::offerAvailableCodecs(choices.options);
    choices.options.loadUserDefaults(defaults);
    const VideoCodecChoice* codec = nullptr;
    if (const auto name = arguments.value("--video-codec")) {
        for (const VideoCodecChoice& known : kVideoCodecs)
            if (*name == known.name) codec = &known;
        if (!codec) return fail("unknown video codec '" + *name + "'");
        if (codec->encoder && !MovieWriter::encoderAvailable(codec->encoder)) {
            status = failure("video codec " + *name + " is not available: the linked FFmpeg has " +
                             "no " + codec->encoder + " encoder");
            return std::nullopt;
        }
        choices.options.videoCodecSelectionPopup(codec->tag);
        choices.codecOverride = codec->override;
    }
    if (const auto rate = arguments.value("--bitrate")) {
        if (!codec || (std::string(codec->name) != "h264" && std::string(codec->name) != "hevc"))
            return fail("--bitrate applies to --video-codec h264 or hevc");
        if (rate->empty() || rate->size() > 10 ||
            rate->find_first_not_of("0123456789") != std::string::npos || std::stoll(*rate) <= 0 ||
            std::stoll(*rate) > 0xFFFFFFFFll)
            return fail("bit rate " + *rate + " is not a number of bits per second");
        choices.bitRate = uint32_t(std::stoll(*rate));
    }
    if (const auto size = arguments.value("--size")) {
        if (!codec || codec->tag == 0) return fail("--size needs a --video-codec that re-encodes");
        static constexpr std::pair<const char*, int64_t> kSizes[] = {
            {"3840x2160", 2}, {"1920x1080", 4}, {"1280x720", 5}, {"1024x576", 7}, {"640x360", 8}};
        bool known = false;
        for (const auto& [text, tag] : kSizes)
            if (*size == text && !choices.options.isResizeItemHidden(tag)) {
                choices.options.setVideoResizeTag(tag);
                known = true;
            }
        if (!known) return fail("picture size " + *size + " is not offered for this codec");
    }
    if (const auto audio = arguments.value("--audio")) {
        bool known = false;
        for (const AudioChoice& choice : kAudioChoices)
            if (*audio == choice.name) {
                choices.options.setAudioCodecTag(choice.tag);
                known = true;
            }
        if (!known) return fail("unknown audio choice '" + *audio + "'");
    }
    const auto output = arguments.value("-o");
    if (!output || output->empty()) return fail("no destination folder given (-o FOLDER)");
    std::error_code error;
    choices.folder = fs::absolute(*output, error).lexically_normal();
    choices.options.readSettings();
    return choices;
}

}  // namespace

int runMovieExportCommand(const std::vector<std::string>& arguments) {
    const bool movies = arguments.front() == "movies";
    int status = kExitSuccess;
    const auto input = parsePathInput(
        std::vector<std::string>(arguments.begin() + 1, arguments.end()), {"--quiet"},
        {"-o", "--video-codec", "--bitrate", "--size", "--audio"}, "paths", status);
    if (!input) return status;
    ApplicationController controller;
    const auto choices =
        parseChoices(input->arguments, controller.mediaPool().userDefaults(), status);
    if (!choices) return status;

    // The folder is checked before anything is read: it must exist and take new files.
    if (!fs::is_directory(choices->folder))
        return failure("cannot write into " + printableText(choices->folder.native()) +
                       ": no such folder");
    if (const auto problem =
            AtomicFileWriter::destinationProblem(choices->folder / "vorlane_log.txt"))
        return failure("cannot write into " + printableText(choices->folder.native()) + ": " +
                       *problem);

    ApplicationController::AddResult result;
    const bool allRead = analyzePaths(controller, *input, result);
    MediaPool& pool = controller.mediaPool();
    pool.enumerateSyncGroups();

    std::unique_ptr<ConsoleProgress> progress;
    if (!input->arguments.has("--quiet"))
        progress =
            std::make_unique<ConsoleProgress>(std::cerr, ConsoleProgress::styleForStandardError());
    ConsoleMoviePanel panel(progress.get(),
                            movies ? "Synchronized Movie Export" : "Embed Timecode Export");
    MovieExportRun run(pool, panel, ExportCommands::logHeader(pool.userDefaults()));
    run.setVideoCodecOverride(choices->codecOverride, choices->bitRate);
    catchInterrupt();
    const bool allWritten = movies ? run.exportMovies(choices->folder, choices->options)
                                   : run.exportTimecode(choices->folder, choices->options);
    ::sigaction(SIGINT, &previousInterrupt, nullptr);
    if (!run.logFileFailure().empty())
        std::cerr << "vorlane: warning: cannot save vorlane_log.txt: " << run.logFileFailure()
                  << "\n";
    if (!allWritten)
        std::cerr << "vorlane: error: " << run.statistics().failed << " file(s) failed\n";
    return allWritten && allRead && !interrupted ? kExitSuccess : kExitInputFailed;
}

}  // namespace vorlane::cli
