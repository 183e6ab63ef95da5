#include "export/ExportRun.h"

#include "export/AAFExport.h"
#include "export/AAFExportOptionsController.h"
#include "export/FCPXMLExport.h"
#include "export/XMLExport.h"
#include "export/XMLExportOptionsController.h"
#include "media/MediaPool.h"
#include "media/MediaText.h"
#include "sync/MediaLayoutComposition.h"
#include "sync/MediaSyncComposition.h"

namespace vorlane {

ExportRun::ExportRun(const MediaPool& pool, ExportRunPanel& panel, ExportLogHeader header)
    : pool_(pool), panel_(panel), header_(std::move(header)) {}

void ExportRun::logExportSettings() {
    panel_.logEntry(header_.applicationVersion + ", " + header_.operatingSystem + "\n" +
                    header_.readableSettings + "\n");
}

void ExportRun::setFilePercent(size_t index, size_t count) {
    panel_.setPercent(count == 0 ? 0.0 : double(index) * 100.0 / double(count));
}

void ExportRun::copyProjectSettings(MediaExport& exporter,
                                    const XMLExportOptionsController& options) const {
    exporter.setProjectFramerate(options.projectFrameRate());
    exporter.setProjectDropFrame(options.projectDropFrame());
    exporter.setProjectVideoHeight(options.projectSize().height);
    exporter.setProjectVideoWidth(options.projectSize().width);
    exporter.setProjectInterlaced(options.projectInterlaced());
    exporter.setProjectAudioSampleRate(options.projectAudioSampleRate());
    exporter.setLogHeader(header_);
}

bool ExportRun::exportXML(const std::filesystem::path& url,
                          const XMLExportOptionsController& options) {
    const bool written = options.xmlType() == kXMLTypeFCPXML ? exportFCPXML(url, options)
                                                             : exportXMLInterchange(url, options);
    panel_.logEntry("\nXML Export ended.\n");
    panel_.setPercent(100);
    panel_.stop();
    return written;
}

bool ExportRun::exportFCPXML(const std::filesystem::path& url,
                             const XMLExportOptionsController& options) {
    const std::string baseName = url.stem().string();
    panel_.logEntry(
        formatMediaText("\nFCPX XML %1.1f Export started...\n\n", options.fcpxVersion()));
    logExportSettings();
    const UserDefaults& defaults = pool_.userDefaults();
    const std::unique_ptr<FCPXMLExport> exporter =
        FCPXMLExport::initWithURL(url, options.fcpxVersion(), defaults);
    if (!exporter) {
        panel_.logEntry(">>>>> Failed to write XML file " + url.string() + "!\n");
        return false;
    }
    copyProjectSettings(*exporter, options);

    const auto index = MediaSyncIndex::indexWithMediaPool(pool_);
    const CompositionSettings settings = CompositionSettings::fromUserDefaults(defaults);
    if (options.includeSyncedClips()) {
        const auto files = pool_.files();
        for (size_t position = 0; position < files.size(); ++position) {
            const std::shared_ptr<MediaFile>& file = files[position];
            auto clip = MediaSyncComposition::syncCompositionWithMasterFile(file, index, settings);
            clip->setXmlMode(true);
            clip->setMulticam(false);
            clip->setKeepOriginalAudio(false);
            clip->syncMedia();
            setFilePercent(position, files.size());
            // Sound that synced with a picture is part of that picture's clip.
            if (!file->hasVideo() && file->hasAudio() && clip->hasVideo()) continue;
            const std::string description = clip->exportDescription();
            if (clip->successfullySynced())
                exporter->addComposition(clip, std::nullopt, FCPXMLExport::EncodingSyncedClip);
            else
                exporter->addMediaFile(file, clip->name());
            panel_.logEntry("Adding " + description + "\n");
        }
    }

    panel_.setPercent(98);
    auto layout = MediaLayoutComposition::layoutCompositionUsingMediaPool(index, settings);
    layout->setKeepOriginalAudio(false);
    layout->createLayout();
    panel_.logEntry("Adding Project Overview\n");
    exporter->addComposition(layout, baseName + " [Project Overview]",
                             FCPXMLExport::EncodingProject);
    if (layout->multicam()) {
        panel_.logEntry("Adding Multicam Clip\n");
        exporter->addMulticamComposition(layout, baseName + " [Multicam]");
    } else {
        panel_.logEntry("Adding All-In-One Clip\n");
        exporter->addComposition(layout, baseName + " [All-In-One]",
                                 FCPXMLExport::EncodingAllInOne);
    }

    panel_.logEntry("\nWriting XML File: " + url.string() + "\n");
    panel_.setPercent(99);
    if (!exporter->exportXML()) {
        panel_.logEntry(">>>>> Failed to write XML file " + url.string() + "!\n");
        return false;
    }
    if (options.openInFCPX()) {
        panel_.logEntry("Opening XML in Final Cut Pro X\n");
        if (!exporter->openInFCPX()) panel_.logEntry(">>>>> Failed to open in Final Cut Pro X!\n");
    }
    return true;
}

bool ExportRun::exportXMLInterchange(const std::filesystem::path& url,
                                     const XMLExportOptionsController& options) {
    const std::string baseName = url.stem().string();
    panel_.logEntry("\nXML Export started...\n\n");
    logExportSettings();
    const UserDefaults& defaults = pool_.userDefaults();
    XMLExport exporter(defaults);
    copyProjectSettings(exporter, options);
    exporter.setXmlEncoding(options.xmlType());

    ExportXMLElement& baseBin = exporter.addBin(baseName, exporter.rootNode());
    ExportXMLElement& originalMedia = exporter.addBin("Original Media", baseBin);
    const auto files = pool_.files();
    for (const std::shared_ptr<MediaFile>& file : files)
        exporter.addMasterClip(file, originalMedia);

    const auto index = MediaSyncIndex::indexWithMediaPool(pool_);
    const CompositionSettings settings = CompositionSettings::fromUserDefaults(defaults);
    if (options.includeSyncedClips()) {
        ExportXMLElement& syncedMedia = exporter.addBin("Synced Media", baseBin);
        ExportXMLElement& remainingMedia = exporter.addBin("Remaining Media", baseBin);
        for (size_t position = 0; position < files.size(); ++position) {
            const std::shared_ptr<MediaFile>& file = files[position];
            if (!(file->type() & MediaTypeVideo)) continue;
            auto clip = MediaSyncComposition::syncCompositionWithMasterFile(file, index, settings);
            clip->setXmlMode(true);
            clip->setMulticam(false);
            clip->syncMedia();
            panel_.logEntry("Adding " + clip->exportDescription() + " \n");
            setFilePercent(position, files.size());
            exporter.addClip(clip, clip->successfullySynced() ? syncedMedia : remainingMedia);
        }
        for (size_t position = 0; position < files.size(); ++position) {
            const std::shared_ptr<MediaFile>& file = files[position];
            if (file->type() != MediaTypeAudio || file->linkedAudioFile()) continue;
            auto clip = MediaSyncComposition::syncCompositionWithMasterFile(file, index, settings);
            clip->setMulticam(false);
            clip->setXmlMode(options.xmlType() == XMLExport::EncodingClips);
            clip->syncMedia();
            // Sound that synced with a picture is inside that picture's clip.
            if (clip->successfullySynced() && clip->correspondingFileTypes() != MediaTypeAudio)
                continue;
            panel_.logEntry("Adding " + clip->exportDescription() + " \n");
            setFilePercent(position, files.size());
            exporter.addClip(clip, remainingMedia);
        }
    }

    panel_.logEntry("Adding Sync Map\n");
    panel_.setPercent(98);
    auto layout =
        MediaLayoutComposition::layoutCompositionWithName(baseName + " SyncMap", index, settings);
    layout->createLayout();
    exporter.addSequence(layout, baseBin);

    panel_.logEntry("\nWriting XML File: " + url.string() + "\n");
    panel_.setPercent(99);
    if (!exporter.exportToURL(url)) {
        panel_.logEntry(">>>>> Failed to write XML file (" + url.string() + ")!\n");
        return false;
    }
    return true;
}

bool ExportRun::exportAAF(const std::filesystem::path& url,
                          const AAFExportOptionsController& options) {
    const std::string baseName = url.stem().string();
    const UserDefaults& defaults = pool_.userDefaults();
    AAFExport exporter(defaults);
    exporter.setAmaLink(options.amaLink());
    exporter.setProjectFramerate(options.projectFrameRate());
    exporter.setProjectDropFrame(options.projectDropFrame());
    exporter.setLogHeader(header_);
    panel_.logEntry(options.amaLink() ? "AAF Export (AMA) started ...\n\n"
                                      : "AAF Export (Batch Import) started ...\n\n");
    logExportSettings();

    bool written = false;
    if (!exporter.openFile(url, true)) {
        panel_.logEntry("Could not open AAF (" + url.string() + ") for writing!\n");
        panel_.setPercent(100);
    } else {
        const auto index = MediaSyncIndex::indexWithMediaPool(pool_);
        const CompositionSettings settings = CompositionSettings::fromUserDefaults(defaults);
        if (options.includeSyncedClips()) {
            const auto files = pool_.files();
            for (size_t position = 0; position < files.size(); ++position) {
                const std::shared_ptr<MediaFile>& file = files[position];
                if (!(file->type() & MediaTypeVideo)) continue;
                auto clip =
                    MediaSyncComposition::syncCompositionWithMasterFile(file, index, settings);
                clip->setUseAVShift(false);
                clip->setXmlMode(false);
                clip->setMulticam(false);
                clip->syncMedia();
                panel_.logEntry("Adding " + clip->exportDescription() + " \n");
                setFilePercent(position, files.size());
                if (clip->successfullySynced())
                    exporter.addSequence(clip, AAFExport::SequenceSyncedClip);
            }
        }
        panel_.logEntry("Adding SyncMap\n");
        panel_.setPercent(98);
        auto layout = MediaLayoutComposition::layoutCompositionWithName(baseName + " SyncMap",
                                                                        index, settings);
        layout->createLayout();
        exporter.addSequence(layout, AAFExport::SequenceSyncMap);
        panel_.logEntry("\nUpdating AAF-File: " + url.string() + "\n");
        panel_.setPercent(99);
        written = exporter.closeFile();
        if (!written) panel_.logEntry(">>>>> Failed to write AAF file (" + url.string() + ")!\n");
    }
    panel_.logEntry("\nAAF Export ended.\n");
    panel_.stop();
    return written;
}

}  // namespace vorlane
