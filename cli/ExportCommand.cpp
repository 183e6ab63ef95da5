#include "ExportCommand.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>

#include "CommandLine.h"
#include "ConsoleProgress.h"
#include "MovieExportCommand.h"
#include "PoolRun.h"
#include "app/ConsoleAlertPresenter.h"
#include "app/ExportCommands.h"
#include "app/URLValidator.h"
#include "export/AAFExportOptionsController.h"
#include "export/ExportOptionMenus.h"
#include "export/XMLExportOptionsController.h"
#include "platform/AtomicFileWriter.h"
#include "platform/RemovalOnSignal.h"
#include "platform/StreamWriter.h"
#include "platform/Text.h"
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
    fs::path destination;  // empty for standard output ("-o -")
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
    if (*output != "-") choices.destination = fs::absolute(*output, error).lexically_normal();
    if (const auto log = options.value("--log")) choices.logFile = fs::absolute(*log, error);
    return choices;
}

// One error line; exit status 1.
int failure(const std::string& message) {
    std::cerr << "vorlane: error: " << message << "\n";
    return kExitInputFailed;
}

// A path as the messages show it.
std::string shown(const fs::path& path) {
    return printableText(path.native());
}

// Why the destination cannot take the document; nothing when it can.
std::optional<std::string> destinationProblem(const fs::path& destination) {
    auto problem = AtomicFileWriter::destinationProblem(destination);
    if (problem && StreamWriter::isStream(destination))
        *problem += " (-o - writes the document to standard output)";
    return problem;
}

// The document of "-o -": written into a private folder, then copied to standard output. The
// folder goes at the end of the run, or when a signal ends it.
class PipedDocument {
  public:
    static std::unique_ptr<PipedDocument> create(const std::string& kind) {
        const char* temporary = std::getenv("TMPDIR");
        std::string folder =
            std::string(temporary && *temporary ? temporary : "/tmp") + "/vorlane-export-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr) return nullptr;
        const std::string extension = kind == "fcpxml" ? ".fcpxml"
                                      : kind == "aaf"  ? ".aaf"
                                                       : ".xml";
        return std::unique_ptr<PipedDocument>(new PipedDocument(folder, "Untitled" + extension));
    }
    ~PipedDocument() {
        ::unlink(path_.c_str());
        ::rmdir(folder_.c_str());
    }
    const fs::path& path() const { return path_; }
    // Nothing when copied; else why not.
    std::optional<std::string> copyToStandardOutput() const {
        std::ifstream file(path_, std::ios::binary);
        if (!file) return "cannot read it back from " + shown(path_);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        return StreamWriter::writeToDescriptor(
            STDOUT_FILENO, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    }

  private:
    PipedDocument(const fs::path& folder, const std::string& name)
        : folder_(folder), path_(folder / name), folderRemoval_(folder_), fileRemoval_(path_) {}

    fs::path folder_;
    fs::path path_;
    RemovalOnSignal folderRemoval_;
    RemovalOnSignal fileRemoval_;
};

// The progress panel of the command line: the log on stdout (stderr when the document goes
// there; kept for --log), the percent on stderr.
class ConsoleExportPanel : public ExportRunPanel {
  public:
    ConsoleExportPanel(ConsoleProgress* progress, const std::string& title, std::ostream& out)
        : progress_(progress), out_(out) {
        if (progress_) progress_->startWithTitle(title);
    }
    void logEntry(const std::string& text) override {
        log_ += text;
        out_ << printableText(text, true) << std::flush;
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
    std::ostream& out_;
    std::string log_;
};

// Writes the log into a FIFO or device, else as a file; nothing when written, else why not.
std::optional<std::string> writeLogFile(const fs::path& path, const std::string& text) {
    const std::span bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (StreamWriter::isStream(path)) return StreamWriter::writeToPath(path, bytes);
    const auto writer = AtomicFileWriter::create(path);
    if (writer && writer->write(bytes) && writer->commit()) return std::nullopt;
    return AtomicFileWriter::lastFailure();
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
    if (kind == "movies" || kind == "timecode") return runMovieExportCommand(arguments);
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
    std::unique_ptr<PipedDocument> piped;
    fs::path destination = choices->destination;
    const bool toStandardOutput = destination.empty();
    if (toStandardOutput) {
        piped = PipedDocument::create(kind);
        if (!piped) return failure("cannot make a temporary folder for the document");
        destination = piped->path();
    } else {
        if (const auto problem = destinationProblem(destination))
            return failure("cannot write " + shown(destination) + ": " + *problem);
        ConsoleAlertPresenter presenter(std::cerr, input->arguments.has("--strict"));
        if (!URLValidator(presenter).validateURL(destination, false))
            return failure("destination " + shown(destination) + " refused (--strict)");
    }

    ApplicationController controller;
    ApplicationController::AddResult result;
    const bool allRead = analyzePaths(controller, *input, result);
    MediaPool& pool = controller.mediaPool();
    ExportCommands commands(pool);

    std::unique_ptr<ConsoleProgress> progress;
    if (!input->arguments.has("--quiet"))
        progress =
            std::make_unique<ConsoleProgress>(std::cerr, ConsoleProgress::styleForStandardError());
    ConsoleExportPanel panel(progress.get(), choices->aaf ? "AAF Export" : "XML Export",
                             toStandardOutput ? std::cerr : std::cout);
    const bool written =
        choices->aaf
            ? commands.exportAAF(destination, aafOptions(*choices, *input, commands), panel)
            : commands.exportXML(destination, xmlOptions(*choices, *input, commands, pool), panel);

    const std::string reason = written ? std::string() : AtomicFileWriter::lastFailure();
    // A log that cannot be written is worth a warning; the document's result is the run's.
    if (choices->logFile) {
        if (const auto problem = writeLogFile(*choices->logFile, panel.log()))
            std::cerr << "vorlane: warning: cannot write the log " << shown(*choices->logFile)
                      << ": " << *problem << "\n";
    }
    const std::string where = toStandardOutput ? "the document" : shown(destination);
    if (!written) return failure("cannot write " + where + (reason.empty() ? "" : ": " + reason));
    if (piped) {
        if (const auto problem = piped->copyToStandardOutput())
            return failure("cannot write the document to standard output: " + *problem);
    } else if (!input->arguments.has("--quiet")) {
        std::cerr << "vorlane: wrote " << where << "\n";
    }
    return allRead ? kExitSuccess : kExitInputFailed;
}

}  // namespace vorlane::cli
