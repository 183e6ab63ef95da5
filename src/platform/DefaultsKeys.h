// The names of the application's user defaults, shared by every layer that reads them. Their
// types, standard values and meanings are listed in app/SettingsTable.
#pragma once

namespace vorlane::DefaultsKey {

// General settings (the settings sheet).
inline constexpr const char* mxfAudioOptions = "mxfAudioOptions";
inline constexpr const char* mxfImporter = "mxfImporter";
inline constexpr const char* metadataHandling = "metadataHandling";
inline constexpr const char* clipNaming = "clipNaming";
inline constexpr const char* muteAudioTimecode = "muteAudioTimecode";
inline constexpr const char* readAudioTcOnImport = "readAudioTcOnImport";
inline constexpr const char* fileSuffixes = "fileSuffixes";
inline constexpr const char* linearTimelineMode = "linearTimelineMode";
inline constexpr const char* automaticallyApplyAVShift = "automaticallyApplyAVShift";
inline constexpr const char* automaticallySetSyncGroups = "automaticallySetSyncGroups";
inline constexpr const char* involveFileDate = "involveFileDate";
inline constexpr const char* fcpxSubRolePrefix = "fcpxSubRolePrefix";
inline constexpr const char* audioSyncWithoutTimecode = "audioSyncWithoutTimecode";

// The main window.
inline constexpr const char* defaultsWritten = "defaultsWritten";
inline constexpr const char* keepOriginalAudio = "keepOriginalAudio";
inline constexpr const char* multicam = "multicam";
inline constexpr const char* softwareVersion = "softwareVersion";
inline constexpr const char* operatingSystemVersion = "operatingSystemVersion";
inline constexpr const char* updateSuppression = "updateSuppression";
inline constexpr const char* updateSuppressionVersion = "updateSuppressionVersion";
// Where the update check reads the version announcement; empty: no check contacts anything.
inline constexpr const char* updateAnnouncementURL = "updateAnnouncementURL";

// The adjustment panels.
inline constexpr const char* avShiftPresets = "avShiftPresets";
inline constexpr const char* avShiftPresetsWritten = "avShiftPresetsWritten";
inline constexpr const char* audioTcRate = "audioTcRate";
inline constexpr const char* audioTcTrack = "audioTcTrack";
inline constexpr const char* audioTcChannel = "audioTcChannel";
inline constexpr const char* audioTcReadingMode = "audioTcReadingMode";
inline constexpr const char* audioTcReadingAlgorithm = "audioTcReadingAlgorithm";
inline constexpr const char* audioTcOffset = "audioTcOffset";

// The export option views.
inline constexpr const char* xmlType = "xmlType";
inline constexpr const char* xmlOpenInFCP = "xmlOpenInFCP";
inline constexpr const char* xmlProjectFrameRate = "xmlProjectFrameRate";
inline constexpr const char* aafExportType = "aafExportType";
inline constexpr const char* aafProjectFrameRate = "aafProjectFrameRate";
inline constexpr const char* videoCodec = "videoCodec";
inline constexpr const char* videoResize = "videoResize";
inline constexpr const char* audioCodec = "audioCodec";

}  // namespace vorlane::DefaultsKey
