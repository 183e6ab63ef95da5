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
#include "sync/SyncedClips.h"

namespace vorlane {

ExportRun::ExportRun(const MediaPool& pool, ExportRunPanel& panel, ExportLogHeader header)
    : pool_(pool), panel_(panel), header_(std::move(header)) {}

void ExportRun::logExportSettings() {
    panel_.logEntry(header_.applicationVersion + ", " + header_.operatingSystem + "\n" +
                    header_.readableSettings + "\n");
}

namespace {

// The settings of an export's synced clips: one camera each (the layout gathers the cameras).
CompositionSettings singleCameraClipSettings(CompositionSettings settings) {
    settings.multicam = false;
    return settings;
}

}  // namespace

SyncedClipProgress ExportRun::panelProgress() {
    return [this](double percent) { panel_.setPercent(percent); };
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
        CompositionSettings clipSettings = singleCameraClipSettings(settings);
        clipSettings.keepOriginalAudio = false;
        SyncedClipFlags flags;
        flags.xmlMode = true;
        const auto addClip = [&](const std::shared_ptr<MediaFile>& file,
                                 const std::shared_ptr<MediaSyncComposition>& clip) {
            // Sound that synced with a picture is part of that picture's clip.
            if (!file->hasVideo() && file->hasAudio() && clip->hasVideo()) return;
            const std::string description = clip->exportDescription();
            if (clip->successfullySynced())
                exporter->addComposition(clip, std::nullopt, FCPXMLExport::EncodingSyncedClip);
            else
                exporter->addMediaFile(file, clip->name());
            panel_.logEntry("Adding " + description + "\n");
        };
        buildSyncedClips(pool_.files(), index, clipSettings, flags, addClip, panelProgress());
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
        const CompositionSettings clipSettings = singleCameraClipSettings(settings);
        SyncedClipFlags pictureFlags;
        pictureFlags.xmlMode = true;
        buildSyncedClips(
            filesWithVideo(files), index, clipSettings, pictureFlags,
            [&](const std::shared_ptr<MediaFile>&,
                const std::shared_ptr<MediaSyncComposition>& clip) {
                panel_.logEntry("Adding " + clip->exportDescription() + " \n");
                exporter.addClip(clip, clip->successfullySynced() ? syncedMedia : remainingMedia);
            },
            panelProgress());

        std::vector<std::shared_ptr<MediaFile>> soundFiles;
        for (const std::shared_ptr<MediaFile>& file : files)
            if (file->type() == MediaTypeAudio && !file->linkedAudioFile())
                soundFiles.push_back(file);
        SyncedClipFlags soundFlags;
        soundFlags.xmlMode = options.xmlType() == XMLExport::EncodingClips;
        buildSyncedClips(
            soundFiles, index, clipSettings, soundFlags,
            [&](const std::shared_ptr<MediaFile>&,
                const std::shared_ptr<MediaSyncComposition>& clip) {
                // Sound that synced with a picture is inside that picture's clip.
                if (clip->successfullySynced() && clip->correspondingFileTypes() != MediaTypeAudio)
                    return;
                panel_.logEntry("Adding " + clip->exportDescription() + " \n");
                exporter.addClip(clip, remainingMedia);
            },
            panelProgress());
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
            SyncedClipFlags flags;
            flags.useAVShift = false;
            buildSyncedClips(
                filesWithVideo(pool_.files()), index, singleCameraClipSettings(settings), flags,
                [&](const std::shared_ptr<MediaFile>&,
                    const std::shared_ptr<MediaSyncComposition>& clip) {
                    panel_.logEntry("Adding " + clip->exportDescription() + " \n");
                    if (clip->successfullySynced())
                        exporter.addSequence(clip, AAFExport::SequenceSyncedClip);
                },
                panelProgress());
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
