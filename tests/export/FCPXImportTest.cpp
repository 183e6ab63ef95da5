// FCPXML documents as a source of files: the clips of the events of every document version
// (media named by `src` or, from 1.9, by a `media-rep`), the roles, channel sources, notes and
// logging metadata they carry, file URLs with escapes, damaged and hostile documents, and our own
// exported document read back with its uids and roles.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <map>

#include "export/ExportTestSupport.h"
#include "export/ExportXMLElement.h"
#include "export/FCPXImport.h"
#include "export/XMLExportOptionsController.h"
#include "formats/ReaderChoice.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using Files = std::vector<std::shared_ptr<MediaFile>>;

// One asset of a generated document and the clip that uses it.
struct Clip {
    std::string file;  // a path below the test's folder
    // "asset-clip" (a `clip` in 1.5, which has no asset clips), "clip" (referring to the asset
    // through its `video`), or "project" (an asset clip in a project's spine)
    std::string element = "asset-clip";
    std::string inside = {};  // the clip's children
    std::string attributes = {};
    std::string src = {};  // the asset's URL as written; empty: the file's URL
};

std::string clipElement(const std::string& version, const Clip& clip, const std::string& id) {
    if (clip.element == "project")
        return "<project name=\"Cut\"><sequence format=\"r0\" duration=\"10s\"><spine>" +
               clipElement(version, {clip.file}, id) + "</spine></sequence></project>";
    const std::string element = version == "1.5" ? "clip" : clip.element;
    const std::string reference = element == "clip" ? "" : " ref=\"" + id + "\"";
    const std::string video =
        element == "clip" ? "<video ref=\"" + id + "\" duration=\"10s\"/>" : "";
    return "<" + element + " name=\"" + clip.file + "\"" + reference + " duration=\"10s\"" +
           clip.attributes + ">" + video + clip.inside + "</" + element + ">";
}

// A document of the version with one library holding an event per list of clips, every asset
// naming its media by `src`, or by a `media-rep` from 1.9 on.
std::string documentWith(const std::string& version, const std::vector<std::vector<Clip>>& events,
                         const std::filesystem::path& folder) {
    const bool mediaRep = std::stod(version.substr(2)) >= 9;
    std::string resources = "<format id=\"r0\" name=\"FFVideoFormat1080p25\"/>";
    std::string body;
    int asset = 1;
    for (size_t event = 0; event < events.size(); ++event) {
        body += "<event name=\"Day " + std::to_string(event + 1) + "\">";
        for (const Clip& clip : events[event]) {
            const std::string id = "r" + std::to_string(asset++);
            const std::string url =
                clip.src.empty() ? "file://" + (folder / clip.file).string() : clip.src;
            resources += "<asset id=\"" + id + "\" uid=\"UID-" + id + "\" format=\"r0\"" +
                         (mediaRep ? ">" : " src=\"" + url + "\">");
            if (mediaRep)
                resources += "<media-rep kind=\"proxy-media\" src=\"file:///proxy/" + id +
                             ".mov\"/><media-rep kind=\"original-media\" src=\"" + url + "\"/>";
            resources += "</asset>";
            body += clipElement(version, clip, id);
        }
        body += "</event>";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE fcpxml>\n<fcpxml version=\"" +
           version + "\"><resources>" + resources + "</resources><library>" + body +
           "</library></fcpxml>";
}

class FCPXImportTest : public testing::Test {
  protected:
    // A pool that makes a plain file object for every path that exists.
    std::shared_ptr<MediaPool> poolOfExistingFiles() {
        return MediaPool::create(
            [](const std::filesystem::path& url, MediaPool&) {
                if (!std::filesystem::exists(url)) return MediaReaderChoice{nullptr, {}, "missing"};
                auto file = std::make_shared<MediaFile>(url);
                return MediaReaderChoice{file, {file}, {}};
            },
            *defaults, center);
    }

    // The files the document's clips bring into a fresh pool.
    Files importText(const std::string& text, double* version = nullptr) {
        pool = poolOfExistingFiles();
        auto import = FCPXImport::initWithString(text);
        if (!import) return {};
        Files files = import->mediaFilesForMediaPool(*pool);
        if (version) *version = import->xmlVersion();
        return files;
    }

    std::filesystem::path media(const std::string& name) {
        const auto path = folder / name;
        std::filesystem::create_directories(path.parent_path());
        test::writeFile(path, "media");
        return path;
    }

    std::vector<std::string> namesOf(const Files& files) {
        std::vector<std::string> names;
        for (const auto& file : files)
            names.push_back(file->sourceURLPath().lexically_relative(folder.path()).string());
        return names;
    }

    test::ScratchFolder folder;
    test::TestDefaults defaults;
    NotificationCenter center;
    std::shared_ptr<MediaPool> pool;
};

TEST_F(FCPXImportTest, EventClipsOfEveryVersionComeInDocumentOrder) {
    for (const char* name : {"a1.mov", "a2.mov", "a3.wav", "b1.mov", "b2.wav", "b3.mxf", "p.mov"})
        media(name);
    const std::vector<std::vector<Clip>> events = {
        {{"a1.mov"}, {"a2.mov", "clip"}, {"a3.wav"}},
        {{"b1.mov"}, {"b2.wav", "clip"}, {"b3.mxf"}, {"p.mov", "project"}},
    };
    for (const char* version : {"1.5", "1.6", "1.7", "1.8", "1.9", "1.10", "1.11"}) {
        SCOPED_TRACE(version);
        const std::string text = documentWith(version, events, folder.path());
        // The editor's document type accepts the documents of the versions it defines.
        if (const auto dtd = test::fcpxmlDTD(version)) {
            test::writeFile(folder / "day.fcpxml", text);
            EXPECT_EQ(test::dtdErrors(folder / "day.fcpxml", *dtd), "");
        }
        double xmlVersion = 0;
        const Files files = importText(text, &xmlVersion);
        EXPECT_EQ(namesOf(files), (std::vector<std::string>{"a1.mov", "a2.mov", "a3.wav", "b1.mov",
                                                            "b2.wav", "b3.mxf"}));
        EXPECT_EQ(xmlVersion, std::round(std::stod(version) * 100) / 100);
        ASSERT_EQ(files.size(), 6u);
        EXPECT_EQ(files[4]->metaDataString(kFCPXUUID), "UID-r5");
        EXPECT_EQ(files[4]->metaDataString(kFCPXImported), "YES");
        EXPECT_EQ(files[4]->name(), "b2.wav");
        EXPECT_EQ(pool->sourceFiles().size(), 6u);
    }
    // Only clips standing in an event or the root count; the version is read from an fcpxml
    // root only.
    double xmlVersion = 0;
    EXPECT_EQ(importText(R"(<fcpxml version="1.8"><resources><asset id="r1" src="file://)" +
                             (folder / "p.mov").string() +
                             R"("/></resources><asset-clip ref="r1"/><library><event><project>
                             <sequence><spine><asset-clip ref="r1"/></spine></sequence></project>
                             </event></library></fcpxml>)",
                         &xmlVersion)
                  .size(),
              1u);
    EXPECT_EQ(xmlVersion, 1.8);
    EXPECT_TRUE(importText(R"(<fcpxml version="1.8"><resources><asset id="r1" src="file://)" +
                           (folder / "p.mov").string() +
                           R"("/></resources><library><event><project><sequence><spine>
                           <asset-clip ref="r1"/></spine></sequence></project></event></library>
                           </fcpxml>)")
                    .empty());
    EXPECT_TRUE(importText("<xmeml version=\"1.8\"><event><asset-clip ref=\"r1\"/></event></xmeml>",
                           &xmlVersion)
                    .empty());
    EXPECT_EQ(xmlVersion, 0);
    EXPECT_TRUE(FCPXImport::isSupportedURL("/a/clip.FcpXml"));
    EXPECT_FALSE(FCPXImport::isSupportedURL("/a/clip.xml"));
}

TEST_F(FCPXImportTest, RolesChannelSourcesNotesAndLoggingMetadataReachTheFile) {
    for (const char* name : {"cam.mov", "rec.wav", "roles.mov"})
        media(name);
    const std::string camera =
        "<audio ref=\"r1\" role=\"dialogue.dialogue-1\"/><video role=\"video.titles\"/>"
        "<audio-channel-source srcCh=\"1, 2\" role=\"dialogue.boom\"/>"
        "<audio-channel-source srcCh=\"3\"/><note>Focus soft</note>"
        "<metadata><md key=\"com.apple.proapps.studio.reel\" value=\"A001\"/>"
        "<md key=\"com.apple.proapps.studio.scene\" value=\"12\"/>"
        "<md key=\"com.apple.proapps.studio.shot\" value=\"3\"/>"
        "<md key=\"com.apple.proapps.studio.Shot\" value=\"9\"/>"
        "<md key=\"com.apple.proapps.studio.angle\" value=\"wide\"/>"
        "<md key=\"com.apple.proapps.studio.angle\" value=\"close\"/>"
        "<md key=\"com.apple.proapps.mio.cameraName\" value=\"A cam\"/></metadata>";
    const Files files = importText(documentWith(
        "1.7",
        {{{"cam.mov", "asset-clip", camera},
          {"rec.wav", "asset-clip", "<audio-source srcCh=\"3\" role=\"dialogue.mix\"/>"},
          {"roles.mov", "asset-clip", "<video role=\"video.other\"/><audio role=\"music\"/>",
           " videoRole=\"titles.main\" audioRole=\"effects.fx-1\""},
          {"cam.mov"}}},
        folder.path()));
    ASSERT_EQ(files.size(), 3u);  // the second clip of cam.mov adds nothing
    const MediaFile& cam = *files[0];
    EXPECT_EQ(cam.metaDataString(kFCPXAudioRole), "dialogue");
    EXPECT_EQ(cam.metaDataString(kFCPXVideoRole), "video.titles");
    const MetadataValue sources = *cam.metaDataValue(kFCPXAudioChannelSources);
    ASSERT_TRUE(sources.list());
    ASSERT_EQ(sources.list()->size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const MetadataDictionary& entry = *(*sources.list())[i].dictionary();
        EXPECT_EQ(metadataString(entry, "srcCh"), std::to_string(i + 1));
        EXPECT_EQ(metadataString(entry, "role"), "dialogue.boom");
    }
    EXPECT_EQ(cam.metaDataString(kNote), "Focus soft");
    EXPECT_EQ(cam.metaDataString(kReel), "A001");
    EXPECT_EQ(cam.metaDataString(kScene), "12");
    EXPECT_EQ(cam.metaDataString(kTake), "3");  // "Shot" fills nothing
    EXPECT_EQ(cam.metaDataString(kAngle), "close");
    EXPECT_EQ(cam.metaDataString(kCameraName), "A cam");
    const MetadataValue recorder = *files[1]->metaDataValue(kFCPXAudioChannelSources);
    ASSERT_EQ(recorder.list()->size(), 1u);
    EXPECT_EQ(metadataString(*recorder.list()->front().dictionary(), "srcCh"), "3");
    EXPECT_FALSE(files[1]->metaDataValue(kFCPXVideoRole));
    EXPECT_EQ(files[2]->metaDataString(kFCPXVideoRole), "titles.main");
    EXPECT_EQ(files[2]->metaDataString(kFCPXAudioRole), "effects.fx-1");
}

TEST_F(FCPXImportTest, FileURLsWithEscapesHostsAndOtherSchemes) {
    const auto spaced = media("Día 1/カメラ A #1.mov");
    const auto local = media("local host.wav");
    const auto relative = media("beside/take.wav");
    const std::string escaped = percentEscapedPath(spaced.string());
    ASSERT_NE(escaped.find("%20"), std::string::npos);
    const std::string cut = "file://" + escaped.substr(0, escaped.size() - 4);
    const auto clip = [](std::string src) { return Clip{"x", "asset-clip", "", "", src}; };
    test::writeFile(folder / "day.fcpxml",
                    documentWith("1.10",
                                 {{clip("file://" + escaped),
                                   clip("file://localhost" + percentEscapedPath(local.string())),
                                   clip("beside/take.wav"),
                                   clip("file://otherhost" + percentEscapedPath(local.string())),
                                   clip("http://example.com/a.mov"), clip(cut + "%G1.mov"),
                                   clip(cut + "%00.mov")}},
                                 folder.path()));
    pool = poolOfExistingFiles();
    auto import = FCPXImport::initWithURL(folder / "day.fcpxml");
    ASSERT_TRUE(import);
    const Files files = import->mediaFilesForMediaPool(*pool);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0]->sourceURLPath(), spaced);
    EXPECT_EQ(files[1]->sourceURLPath(), local);
    EXPECT_EQ(files[2]->sourceURLPath(), relative);
}

TEST_F(FCPXImportTest, ADocumentNamingItselfOrAnotherDocumentIsReadOnce) {
    media("a.mov");
    const auto self = folder / "self.fcpxml";
    test::writeFile(self, documentWith("1.8", {{{"self.fcpxml"}, {"a.mov"}}}, folder.path()));
    auto pool =
        MediaPool::create(readerChoiceImportingDocuments(importFCPXMLDocument), *defaults, center);
    EXPECT_TRUE(isSupportedMediaURL(self));
    bool imported = false;
    std::string reason;
    EXPECT_FALSE(pool->addMediaWithURL(self, &reason, &imported));
    EXPECT_TRUE(imported) << reason;
    EXPECT_EQ(pool->importedFCPXMLVersion(), 1.8);
    EXPECT_TRUE(
        MainQueue::runUntil([&] { return !pool->hasPendingAnalysis(); }, std::chrono::seconds(60)));
    MainQueue::drain();
    ASSERT_EQ(pool->count(), 1u);
    EXPECT_EQ(pool->objectAtIndex(0)->sourceURLPath(), folder / "a.mov");

    test::writeFile(folder / "broken.fcpxml", "\xFF\xFE<");
    imported = true;
    EXPECT_FALSE(pool->addMediaWithURL(folder / "broken.fcpxml", &reason, &imported));
    EXPECT_FALSE(imported);
    EXPECT_EQ(reason, "not a readable FCPXML document");
}

TEST_F(FCPXImportTest, DamagedAndHostileDocumentsGiveNoStrayFiles) {
    for (const char* name : {"a.mov", "b.mov", "c.mov"})
        media(name);
    const std::string whole =
        documentWith("1.9", {{{"a.mov"}, {"b.mov"}, {"c.mov"}}}, folder.path());
    ASSERT_EQ(importText(whole).size(), 3u);
    // Cut anywhere: never a file that the whole document does not name, never in another order,
    // and nothing while the resources are incomplete.
    const size_t eventStart = whole.find("<library>");
    for (size_t length = 0; length < whole.size(); length += 7) {
        const std::vector<std::string> names = namesOf(importText(whole.substr(0, length)));
        const std::vector<std::string> expected = {"a.mov", "b.mov", "c.mov"};
        ASSERT_LE(names.size(), 3u);
        EXPECT_TRUE(std::equal(names.begin(), names.end(), expected.begin())) << length;
        if (length < eventStart) {
            EXPECT_TRUE(names.empty()) << length;
        }
    }
    // Text in UTF-16 with its byte order mark is read; bytes that are no text give nothing.
    std::string wide = "\xFF\xFE";
    for (const char c : whole)
        wide += std::string{c, '\0'};
    EXPECT_EQ(importText(wide).size(), 3u);
    EXPECT_TRUE(importText(std::string("\x00\x01\xFF\xFE\x80<fcpxml", 12)).empty());
    // Text in the Latin-1 it declares names its files in UTF-8; a stray ampersand is kept.
    const auto latin = media(
        "D\xC3\xAD"
        "a/b.mov");
    std::string declared = documentWith("1.8", {{{"x"}}}, folder.path());
    declared.replace(declared.find("encoding=\"UTF-8\""), 16, "encoding=\"ISO-8859-1\"");
    declared.replace(declared.find((folder / "x").string()), (folder / "x").string().size(),
                     (folder / "D\xED"
                               "a/b.mov")
                         .string());
    declared.replace(declared.find("name=\"x\""), 8, "name=\"Rock & Roll\"");
    const Files latinFiles = importText(declared);
    ASSERT_EQ(latinFiles.size(), 1u);
    EXPECT_EQ(latinFiles[0]->sourceURLPath(), latin);
    EXPECT_EQ(latinFiles[0]->name(), "Rock & Roll");

    // Entities are never expanded: neither a billion laughs nor a file of this machine.
    const auto secret = folder / "secret.txt";
    test::writeFile(secret, "/etc/passwd");
    std::string laughs = "<!DOCTYPE fcpxml [<!ENTITY l0 \"ha\">";
    for (int level = 1; level < 10; ++level)
        laughs += "<!ENTITY l" + std::to_string(level) + " \"" + [&] {
            std::string ten;
            for (int i = 0; i < 10; ++i)
                ten += "&l" + std::to_string(level - 1) + ";";
            return ten;
        }() + "\">";
    laughs += "<!ENTITY secret SYSTEM \"file://" + secret.string() + "\">]>";
    std::string hostile = whole;
    hostile.replace(hostile.find("<!DOCTYPE fcpxml>"), 17, laughs);
    hostile.replace(hostile.find("name=\"a.mov\""), 12, "name=\"&l9;&secret;\"");
    const auto started = std::chrono::steady_clock::now();
    const Files files = importText(hostile);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    ASSERT_EQ(files.size(), 3u);
    for (const auto& file : files) {
        EXPECT_EQ(file->name().find("ha"), std::string::npos) << file->name();
        EXPECT_EQ(file->name().find("passwd"), std::string::npos) << file->name();
    }
    // A source that is an entity names no file at all.
    std::string external = whole;
    external.replace(external.find("<!DOCTYPE fcpxml>"), 17, laughs);
    const std::string first = "file://" + (folder / "a.mov").string();
    external.replace(external.find(first), first.size(), "&secret;");
    EXPECT_EQ(namesOf(importText(external)), (std::vector<std::string>{"b.mov", "c.mov"}));
}

// A day imported from the editor, exported by us and imported again: the same files with the
// same uids and roles.
TEST_F(FCPXImportTest, OurOwnExportedDocumentComesBackWithItsUidsAndRoles) {
    const auto camera = test::makeCameraFile({.name = "A001C001.mov"});
    const auto recorder = test::makeRecorderFile({.name = "T001.wav", .channels = 2});
    const std::map<std::filesystem::path, std::function<std::shared_ptr<MediaFile>()>> makers = {
        {camera->sourceURLPath(), [] { return test::makeCameraFile({.name = "A001C001.mov"}); }},
        {recorder->sourceURLPath(),
         [] { return test::makeRecorderFile({.name = "T001.wav", .channels = 2}); }},
    };
    const auto inMemory = [&makers](const std::filesystem::path& url, MediaPool&) {
        const auto found = makers.find(url);
        if (found == makers.end()) return MediaReaderChoice{nullptr, {}, "unknown"};
        auto file = found->second();
        return MediaReaderChoice{file, {file}, {}};
    };
    const auto importInto = [&](const std::string& text) {
        auto pool = MediaPool::create(inMemory, *defaults, center);
        auto import = FCPXImport::initWithString(text);
        EXPECT_TRUE(import);
        if (import) import->addXMLAssetsToMediaPool(*pool);
        EXPECT_TRUE(MainQueue::runUntil([&] { return !pool->hasPendingAnalysis(); },
                                        std::chrono::seconds(60)));
        MainQueue::drain();
        return pool;
    };
    const std::string editorDocument =
        R"(<fcpxml version="1.10"><resources>
        <asset id="r2" uid="6A1F0C3E" hasVideo="1"><media-rep kind="original-media" src="file://)" +
        percentEscapedPath(camera->sourceURLPath().string()) +
        R"("/></asset><asset id="r3" uid="B7D2E9A4"><media-rep src="file://)" +
        percentEscapedPath(recorder->sourceURLPath().string()) +
        R"("/></asset></resources><library><event>
        <asset-clip ref="r2" name="A001C001" videoRole="video.broll">
          <audio-channel-source srcCh="1, 2" role="dialogue.camera-mix"/></asset-clip>
        <asset-clip ref="r3" name="T001">
          <audio-channel-source srcCh="1" role="dialogue.boom"/>
          <audio-channel-source srcCh="2" role="dialogue.lav"/></asset-clip>
        </event></library></fcpxml>)";
    const auto first = importInto(editorDocument);
    ASSERT_EQ(first->count(), 2u);
    first->enumerateSyncGroups();
    test::RecordingPanel panel;
    const auto destination = folder / "back.fcpxml";
    ASSERT_TRUE(test::runXMLExport(*first, XMLExportOptionsController::XMLTypeItemFCPXML17,
                                   destination, panel))
        << panel.log;

    const auto again = importInto(test::readFile(destination));
    ASSERT_EQ(again->count(), 2u);
    const auto channelRoles = [](const MediaFile& file) {
        std::vector<std::string> roles;
        if (const auto sources = file.metaDataValue(kFCPXAudioChannelSources))
            for (const MetadataValue& entry : *sources->list())
                roles.push_back(*metadataString(*entry.dictionary(), "srcCh") + " " +
                                *metadataString(*entry.dictionary(), "role"));
        return roles;
    };
    for (size_t i = 0; i < 2; ++i) {
        const auto& before = *first->objectAtIndex(i);
        const auto& after = *again->objectAtIndex(i);
        SCOPED_TRACE(before.name());
        EXPECT_EQ(after.sourceURLPath(), before.sourceURLPath());
        EXPECT_EQ(after.metaDataString(kFCPXUUID), before.metaDataString(kFCPXUUID));
        EXPECT_EQ(after.metaDataString(kFCPXVideoRole), before.metaDataString(kFCPXVideoRole));
        EXPECT_EQ(channelRoles(after), channelRoles(before));
    }
    EXPECT_EQ(again->objectAtIndex(0)->metaDataString(kFCPXUUID), "6A1F0C3E");
    EXPECT_EQ(again->objectAtIndex(0)->metaDataString(kFCPXVideoRole), "video.broll");
    EXPECT_EQ(channelRoles(*again->objectAtIndex(1)),
              (std::vector<std::string>{"1 dialogue.boom", "2 dialogue.lav"}));
}

}  // namespace
}  // namespace vorlane
