#include "ExportCommand.h"

#include <iostream>
#include <memory>
#include <optional>

#include "CommandLine.h"
#include "ConsoleProgress.h"
#include "PoolRun.h"
#include "app/ConsoleAlertPresenter.h"
#include "app/ExportCommands.h"
#include "app/URLValidator.h"
#include "export/AAFExportOptionsController.h"
#include "export/ExportOptionMenus.h"
#include "export/XMLExportOptionsController.h"
#include "platform/AtomicFileWriter.h"
#include "platform/UserDefaults.h"

namespace vorlane::cli {
namespace {

namespace fs = std::filesystem;

// The explicit choices of the command line, checked.
struct ExportChoices {
    bool fcpxml = true;
    bool aaf = false;
    std::optional<int64_t> xmlTypeIndex;
    std::optional<int64_t> frameRateIndex;
    std::optional<int64_t> videoFormatIndex;
    std::optional<MediaSize> customSize;
    std::optional<int64_t> audioFormatIndex;
    fs::path destination;
    std::optional<fs::path> logFile;
};

std::optional<int64_t> frameRateIndexOf(const std::string& text, bool dropFrame) {
    struct Rate {
        const char* text;
        int64_t index;
        int64_t dropFrameIndex;  // -1: no drop-frame form
    };
    static constexpr Rate kRates[] = {{"23.976", 0, -1}, {"23.98", 0, -1}, {"24", 1, -1},
                                      {"25", 2, -1},     {"29.97", 3, 4},  {"30", 5, -1},
                                      {"50", 6, -1},     {"59.94", 7, 8},  {"60", 9, -1}};
    for (const Rate& rate : kRates) {
        if (text != rate.text) continue;
        if (!dropFrame) return rate.index;
        if (rate.dropFrameIndex < 0) return std::nullopt;
        return rate.dropFrameIndex;
    }
    return std::nullopt;
}

std::optional<MediaSize> sizeOf(const std::string& text) {
    const size_t cross = text.find('x');
    if (cross == std::string::npos) return std::nullopt;
    const auto number = [](const std::string& digits) -> std::optional<double> {
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const int value = std::stoi(digits);
        if (value <= 0) return std::nullopt;
        return double(value);
    };
    const auto width = number(text.substr(0, cross));
    const auto height = number(text.substr(cross + 1));
    if (!width || !height) return std::nullopt;
    return MediaSize{*width, *height};
}

// The item of the video-format menu for the size and scan, or the custom item for a
// progressive size without one; nothing for an interlaced size without an item.
std::optional<int64_t> videoFormatIndexOf(MediaSize size, bool interlaced) {
    for (int64_t index = 0; index < ExportOptionMenus::kCustomVideoFormatIndex; ++index) {
        const auto format = ExportOptionMenus::videoFormatAtIndex(index, 0, 0);
        if (format.width == size.width && format.height == size.height &&
            format.interlaced == interlaced)
            return index;
    }
    if (interlaced) return std::nullopt;
    return ExportOptionMenus::kCustomVideoFormatIndex;
}

std::optional<ExportChoices> parseChoices(const PathInput& input, const std::string& kind,
                                          int& status) {
    const ParsedArguments& options = input.arguments;
    ExportChoices choices;
    const auto fail = [&](const std::string& message) {
        status = usageError(message);
        return std::nullopt;
    };
    choices.fcpxml = kind == "fcpxml";
    choices.aaf = kind == "aaf";
    if (choices.aaf) {
        for (const char* option : {"--version", "--size", "--audio-rate"})
            if (options.value(option)) return fail(std::string(option) + " does not apply to aaf");
        for (const char* option : {"--interlaced", "--nested", "--linked", "--open"})
            if (options.has(option)) return fail(std::string(option) + " does not apply to aaf");
    } else if (options.has("--batch")) {
        return fail("--batch applies to aaf only");
    }
    if (const auto version = options.value("--version")) {
        if (!choices.fcpxml) return fail("--version applies to fcpxml only");
        if (*version == "1.7")
            choices.xmlTypeIndex = XMLExportOptionsController::XMLTypeItemFCPXML17;
        else if (*version == "1.6")
            choices.xmlTypeIndex = XMLExportOptionsController::XMLTypeItemFCPXML16;
        else if (*version == "1.5")
            choices.xmlTypeIndex = XMLExportOptionsController::XMLTypeItemFCPXML15;
        else
            return fail("FCPXML version " + *version + " is not written (1.5, 1.6 or 1.7)");
    }
    if (options.has("--nested") || options.has("--linked")) {
        if (choices.fcpxml) return fail("--nested and --linked apply to xml only");
        if (options.has("--nested") && options.has("--linked"))
            return fail("--nested and --linked exclude each other");
        choices.xmlTypeIndex = options.has("--nested")
                                   ? XMLExportOptionsController::XMLTypeItemNestedSequences
                                   : XMLExportOptionsController::XMLTypeItemLinkedClips;
    }
    if (options.has("--open") && !choices.fcpxml) return fail("--open applies to fcpxml only");
    if (const auto rate = options.value("--rate")) {
        choices.frameRateIndex = frameRateIndexOf(*rate, options.has("--drop-frame"));
        if (!choices.frameRateIndex)
            return fail(options.has("--drop-frame")
                            ? "drop frame needs --rate 29.97 or 59.94"
                            : "frame rate " + *rate +
                                  " is not offered (23.976, 24, 25, 29.97, 30, 50, 59.94, 60)");
    } else if (options.has("--drop-frame")) {
        return fail("--drop-frame needs --rate 29.97 or 59.94");
    }
    if (const auto size = options.value("--size")) {
        choices.customSize = sizeOf(*size);
        if (!choices.customSize) return fail("picture size " + *size + " is not WIDTHxHEIGHT");
        choices.videoFormatIndex =
            videoFormatIndexOf(*choices.customSize, options.has("--interlaced"));
        if (!choices.videoFormatIndex)
            return fail("interlaced projects are 720x576, 720x640 or 1920x1080");
    } else if (options.has("--interlaced")) {
        return fail("--interlaced needs --size (720x576, 720x640 or 1920x1080)");
    }
    if (const auto rate = options.value("--audio-rate")) {
        for (int64_t index = 0; index < 5; ++index)
            if (*rate == std::to_string(int(ExportOptionMenus::audioSampleRateAtIndex(index))))
                choices.audioFormatIndex = index;
        if (!choices.audioFormatIndex)
            return fail("audio rate " + *rate +
                        " is not offered (32000, 44100, 48000, 88200, 96000)");
    }
    const auto output = options.value("-o");
    if (!output || output->empty()) return fail("no destination given (-o FILE)");
    std::error_code error;
    choices.destination = fs::absolute(*output, error).lexically_normal();
    if (const auto log = options.value("--log")) choices.logFile = fs::absolute(*log, error);
    return choices;
}

// One error line; exit status 1.
int failure(const std::string& message) {
    std::cerr << "vorlane: error: " << message << "\n";
    return kExitInputFailed;
}

// Whether a file can be written at the path: its folder exists and takes new files, and the
// path is no folder. Nothing when it can; else why not.
std::optional<std::string> destinationProblem(const fs::path& destination) {
    std::error_code error;
    const fs::path folder = destination.parent_path();
    if (!fs::is_directory(folder, error)) return "folder " + folder.string() + " does not exist";
    if (fs::is_directory(destination, error)) return "it is a folder";
    if (!AtomicFileWriter::create(destination))
        return "folder " + folder.string() + " does not take new files";
    return std::nullopt;
}

// The progress panel of the command line: the log on stdout (kept for --log), the percent on
// stderr.
class ConsoleExportPanel : public ExportRunPanel {
  public:
    ConsoleExportPanel(ConsoleProgress* progress, const std::string& title) : progress_(progress) {
        if (progress_) progress_->startWithTitle(title);
    }
    void logEntry(const std::string& text) override {
        log_ += text;
        std::cout << text << std::flush;
    }
    void setPercent(double percent) override {
        if (!progress_) return;
        progress_->setPercent(percent);
        progress_->setStatus("");
    }
    void stop() override {
        if (progress_) progress_->stop();
    }
    const std::string& log() const { return log_; }

  private:
    ConsoleProgress* progress_;
    std::string log_;
};

bool writeLogFile(const fs::path& path, const std::string& text) {
    const auto writer = AtomicFileWriter::create(path);
    return writer && writer->write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}) &&
           writer->commit();
}

// The XML dialog's options as the command line chose them.
XMLExportOptionsController xmlOptions(const ExportChoices& choices, const PathInput& input,
                                      const ExportCommands& commands, const MediaPool& pool) {
    XMLExportOptionsController options;
    options.loadUserDefaults(pool.userDefaults());
    if (choices.xmlTypeIndex)
        options.xmlTypeSelect(*choices.xmlTypeIndex);
    else if (choices.fcpxml != (options.allowedFileType() == "fcpxml"))
        options.xmlTypeSelect(choices.fcpxml
                                  ? XMLExportOptionsController::XMLTypeItemFCPXML17
                                  : XMLExportOptionsController::XMLTypeItemNestedSequences);
    commands.preselectOptions(options);
    if (choices.frameRateIndex) options.setFrameRateIndex(*choices.frameRateIndex);
    if (choices.customSize) {
        options.setCustomVideoSize(choices.customSize->width, choices.customSize->height);
        options.videoFormatSelect(*choices.videoFormatIndex);
    }
    if (choices.audioFormatIndex) options.setAudioFormatIndex(*choices.audioFormatIndex);
    options.setSyncedClipsChecked(!input.arguments.has("--no-synced-clips"));
    options.setOpenInFCPChecked(input.arguments.has("--open"));
    options.readSettings();
    return options;
}

// The AAF dialog's options: media linked in place unless --batch asks for a batch import.
AAFExportOptionsController aafOptions(const ExportChoices& choices, const PathInput& input,
                                      const ExportCommands& commands) {
    AAFExportOptionsController options;
    commands.preselectOptions(options);
    if (choices.frameRateIndex) options.setFrameRateIndex(*choices.frameRateIndex);
    options.setAafExportTypeIndex(input.arguments.has("--batch") ? 1 : 0);
    options.setSyncedClipsChecked(!input.arguments.has("--no-synced-clips"));
    options.readSettings();
    return options;
}

}  // namespace

int runExportCommand(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return usageError("no export kind given (fcpxml, xml or aaf)");
    const std::string& kind = arguments.front();
    if (kind == "movies" || kind == "timecode")
        return failure("export " + kind + " is not available in this version");
    if (kind != "fcpxml" && kind != "xml" && kind != "aaf")
        return usageError("unknown export kind '" + kind + "' (fcpxml, xml or aaf)");
    int status = kExitSuccess;
    const auto input = parsePathInput(
        std::vector<std::string>(arguments.begin() + 1, arguments.end()),
        {"--drop-frame", "--interlaced", "--no-synced-clips", "--nested", "--linked", "--open",
         "--batch", "--strict", "--quiet"},
        {"-o", "--version", "--rate", "--size", "--audio-rate", "--log"}, "paths", status);
    if (!input) return status;
    const auto choices = parseChoices(*input, kind, status);
    if (!choices) return status;

    // The destination is checked as the save panel checks it, before anything is read.
    ConsoleAlertPresenter presenter(std::cerr, input->arguments.has("--strict"));
    if (!URLValidator(presenter).validateURL(choices->destination, false))
        return failure("destination " + choices->destination.string() + " refused (--strict)");
    if (const auto problem = destinationProblem(choices->destination))
        return failure("cannot write " + choices->destination.string() + ": " + *problem);

    ApplicationController controller;
    ApplicationController::AddResult result;
    const bool allRead = analyzePaths(controller, *input, result);
    MediaPool& pool = controller.mediaPool();
    ExportCommands commands(pool);

    std::unique_ptr<ConsoleProgress> progress;
    if (!input->arguments.has("--quiet"))
        progress =
            std::make_unique<ConsoleProgress>(std::cerr, ConsoleProgress::styleForStandardError());
    ConsoleExportPanel panel(progress.get(), choices->aaf ? "AAF Export" : "XML Export");
    const bool written =
        choices->aaf ? commands.exportAAF(choices->destination,
                                          aafOptions(*choices, *input, commands), panel)
                     : commands.exportXML(choices->destination,
                                          xmlOptions(*choices, *input, commands, pool), panel);

    int exitStatus = allRead ? kExitSuccess : kExitInputFailed;
    if (choices->logFile && !writeLogFile(*choices->logFile, panel.log()))
        exitStatus = failure("cannot write the log " + choices->logFile->string());
    if (!written) return failure("cannot write " + choices->destination.string());
    if (!input->arguments.has("--quiet"))
        std::cerr << "vorlane: wrote " << choices->destination.string() << "\n";
    return exitStatus;
}

}  // namespace vorlane::cli
