#include "app/ExportCommands.h"

#include "app/SettingsPanelController.h"
#include "export/AAFExportOptionsController.h"
#include "export/XMLExportOptionsController.h"
#include "media/MediaPool.h"
#include "timecode/TCHelper.h"

namespace vorlane {

ExportLogHeader ExportCommands::logHeader(const UserDefaults& defaults) {
    ExportLogHeader header = ExportLogHeader::ofThisApplication();
    header.shortSettings = SettingsPanelController::shortUserDefaults(defaults);
    header.readableSettings = SettingsPanelController::readableUserDefaults(defaults);
    return header;
}

void ExportCommands::preselectOptions(XMLExportOptionsController& options) const {
    if (const auto rate = pool_.mostCommonFrameRate()) options.selectFrameRate(*rate);
    const MediaSize size = pool_.largestVideoSize();
    options.selectVideoSize(size.width, size.height);
}

void ExportCommands::preselectOptions(AAFExportOptionsController& options) const {
    if (const auto rate = pool_.mostCommonFrameRate()) options.selectFrameRate(*rate);
}

bool ExportCommands::exportXML(const std::filesystem::path& url,
                               const XMLExportOptionsController& options, ExportRunPanel& panel) {
    pool_.enumerateSyncGroups();
    return ExportRun(pool_, panel, logHeader(pool_.userDefaults())).exportXML(url, options);
}

bool ExportCommands::exportAAF(const std::filesystem::path& url,
                               const AAFExportOptionsController& options, ExportRunPanel& panel) {
    pool_.enumerateSyncGroups();
    return ExportRun(pool_, panel, logHeader(pool_.userDefaults())).exportAAF(url, options);
}

}  // namespace vorlane
