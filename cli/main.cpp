// The `vorlane` command: the same controller as the desktop application, driven from a terminal.
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ExportCommand.h"
#include "LtcCommand.h"
#include "MapCommand.h"
#include "PlayerCommands.h"
#include "ScanCommand.h"
#include "SettingsCommand.h"
#include "SyncCommand.h"
#include "VerifyCommand.h"
#include "app/StandardDefaults.h"
#include "platform/RemovalOnSignal.h"
#include "platform/UserDefaults.h"
#include "platform/Version.h"

namespace {

using vorlane::cli::kExitSuccess;

constexpr const char* kUsage =
    "Usage:\n"
    "  vorlane scan PATH... [--json] [--no-ltc] [--no-thumbnails] [--thumbnails DIR]\n"
    "               [--sync-info] [--quiet]\n"
    "  vorlane info FILE... [--detailed] [--quiet]\n"
    "  vorlane ltc FILE [--fps R] [--track N] [--channel N] [--offset FRAMES] [--ranges 0-4]\n"
    "              [--algorithm 0-4] [--json] [--quiet]\n"
    "  vorlane sync PATH... [--json] [--master FILE] [--multicam] [--keep-camera-audio]\n"
    "  vorlane map PATH... [--json]\n"
    "  vorlane verify PATH... [--json] [--quiet]\n"
    "  vorlane still PATH... --master FILE --at TIMECODE -o FRAME.png [--quiet]\n"
    "  vorlane listen PATH... --master FILE --from TIMECODE --to TIMECODE -o MIX.wav [--quiet]\n"
    "  vorlane export fcpxml|xml -o FILE|- PATH... [--version 1.5|1.6|1.7] [--rate R]\n"
    "              [--drop-frame] [--size WxH] [--interlaced] [--audio-rate HZ]\n"
    "              [--no-synced-clips] [--nested|--linked] [--open] [--log FILE] [--strict]\n"
    "  vorlane export aaf -o FILE|- PATH... [--batch] [--rate R] [--drop-frame]\n"
    "              [--no-synced-clips] [--log FILE] [--strict]\n"
    "  vorlane export movies -o FOLDER PATH... [--video-codec C] [--bitrate B] [--size WxH]\n"
    "              [--audio keep|lpcm|lpcm-44.1-16|lpcm-48-16|lpcm-48-24|lpcm-96-24]\n"
    "  vorlane export timecode -o FOLDER PATH...\n"
    "  vorlane settings [list [--json] | get KEY | set KEY VALUE | reset]\n"
    "  vorlane --version | --help\n"
    "\n"
    "Paths may be files or folders; folders are walked recursively.\n"
    "ltc: tracks and channels count from 1; without them all are read; --fps 0 detects.\n"
    "Progress goes to stderr; --quiet silences it.\n"
    "verify: checks every synced clip by its sound; a clip whose sound disagrees exits 1.\n"
    "still, listen: play FILE's synced clip as the player does; still writes the picture shown\n"
    "  at TIMECODE as PNG (black where there is none), listen the sound from the --from frame up\n"
    "  to the --to frame, all channels, as 32-bit float WAVE at the clip's sample rate.\n"
    "  TIMECODE is the player's timecode text: 10:00:05:00 (10:00:05;00 for drop frame).\n"
    "Exit status: 0 success, 1 when some input failed, 2 usage error.\n";

using Command = std::function<int(const std::vector<std::string>&)>;

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = {
        {"info", vorlane::cli::runInfoCommand},         {"ltc", vorlane::cli::runLtcCommand},
        {"map", vorlane::cli::runMapCommand},           {"scan", vorlane::cli::runScanCommand},
        {"settings", vorlane::cli::runSettingsCommand}, {"sync", vorlane::cli::runSyncCommand},
        {"export", vorlane::cli::runExportCommand},     {"verify", vorlane::cli::runVerifyCommand},
        {"still", vorlane::cli::runStillCommand},       {"listen", vorlane::cli::runListenCommand},
    };
    return table;
}

}  // namespace

int main(int argc, char** argv) {
    // An interrupted export leaves no temporary file behind.
    vorlane::RemovalOnSignal::installHandlers();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cerr << kUsage;
        return vorlane::cli::kExitUsage;
    }
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h") {
        std::cout << kUsage;
        return kExitSuccess;
    }
    if (first == "--version") {
        std::cout << vorlane::kApplicationName << " " << vorlane::kApplicationVersion << "\n";
        return kExitSuccess;
    }
    const auto command = commands().find(first);
    if (command == commands().end())
        return vorlane::cli::usageError("unknown command '" + first + "'");
    // The first start of either front end writes the standard settings.
    vorlane::UserDefaults& defaults = vorlane::UserDefaults::standardUserDefaults();
    vorlane::StandardDefaults::createIfNeeded(defaults);
    vorlane::StandardDefaults::applyToStoredValues(defaults);
    return command->second(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
}
