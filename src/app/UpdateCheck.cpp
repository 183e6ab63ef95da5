#include "app/UpdateCheck.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/DefaultsKeys.h"
#include "platform/Version.h"

namespace vorlane {
namespace {

constexpr const char* kBundleName = "Vorlane Studio";

std::string versionTitle(const char* format, double version) {
    char title[160];
    std::snprintf(title, sizeof title, format, version, kBundleName);
    return title;
}

bool isWebURL(const std::string& url) {
    return (url.starts_with("https://") && url.size() > 8) ||
           (url.starts_with("http://") && url.size() > 7);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char expected, char actual) {
               return std::tolower(static_cast<unsigned char>(actual)) == expected;
           });
}

Alert message(std::string title, std::string text) {
    Alert alert;
    alert.style = Alert::Style::Informational;
    alert.messageText = std::move(title);
    alert.informativeText = std::move(text);
    alert.buttons = {"Ok"};
    return alert;
}

}  // namespace

UpdateCheck::UpdateCheck(UserDefaults& defaults, Mode mode, double runningVersion)
    : defaults_(defaults), mode_(mode), runningVersion_(runningVersion) {}

double UpdateCheck::currentVersion() {
    return versionNumber(kApplicationVersion).value_or(0);
}

std::optional<double> UpdateCheck::versionNumber(std::string_view text) {
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data() || !std::isfinite(number)) return std::nullopt;
    return number;
}

std::optional<UpdateCheck::Announcement> UpdateCheck::parseAnnouncement(std::string_view text) {
    const auto document = UserDefaults::parseSettingsText(text);
    if (!document) return std::nullopt;
    Announcement announcement;
    const auto version = document->find("version");
    if (version == document->end()) return std::nullopt;
    if (const std::string* versionText = version->second.string())
        announcement.version = versionNumber(*versionText).value_or(0);
    else if (!version->second.isBool())
        announcement.version = version->second.number().value_or(0);
    announcement.description = metadataString(*document, "description").value_or("");
    announcement.url = metadataString(*document, "url").value_or("");
    if (!(announcement.version > 0) || !std::isfinite(announcement.version) ||
        !isWebURL(announcement.url))
        return std::nullopt;
    return announcement;
}

bool UpdateCheck::isAnnouncementURL(std::string_view url) {
    if (url.empty()) return true;
    const bool printable = std::all_of(url.begin(), url.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte != 0x7f;
    });
    if (!printable) return false;
    for (std::string_view scheme : {"https://", "http://"}) {
        if (!startsWithNoCase(url, scheme)) continue;
        const std::string_view rest = url.substr(scheme.size());
        return !rest.empty() && rest.front() != '/';  // a host comes first
    }
    for (std::string_view local : {"file:///", "file://localhost/"})
        if (startsWithNoCase(url, local)) return url.size() > local.size();
    return false;
}

std::string UpdateCheck::announcementURL() const {
    return defaults_.stringForKey(DefaultsKey::updateAnnouncementURL).value_or("");
}

std::optional<UpdateCheck::Prompt> UpdateCheck::promptWithoutURL() const {
    if (mode_ == Mode::Automatic) return std::nullopt;
    return Prompt{message("No update announcement is set",
                          "Vorlane Studio contacts nothing to check for updates until the "
                          "setting updateAnnouncementURL names an announcement URL, for "
                          "example: vorlane settings set updateAnnouncementURL URL"),
                  ""};
}

std::optional<UpdateCheck::Prompt> UpdateCheck::promptForDocument(
    const std::optional<std::string>& text, const std::string& failure) {
    offered_.reset();
    if (!text) {
        if (mode_ == Mode::Automatic) return std::nullopt;
        return failurePrompt(failure.empty() ? "it could not be fetched" : failure);
    }
    const auto announcement = parseAnnouncement(*text);
    if (!announcement) {
        if (mode_ == Mode::Automatic) return std::nullopt;
        return failurePrompt(
            "it is not an announcement (a JSON object with a version number, a description and "
            "an http or https url)");
    }
    if (announcement->version > runningVersion_) {
        if (mode_ == Mode::Automatic && suppressed(*announcement)) return std::nullopt;
        offered_ = announcement;
        return availablePrompt(*announcement);
    }
    if (mode_ == Mode::Automatic) return std::nullopt;
    return upToDatePrompt();
}

std::optional<std::string> UpdateCheck::answer(size_t button, bool checkBoxOn) {
    if (!offered_) return std::nullopt;
    if (button == kDownloadButton) return offered_->url;
    defaults_.setDouble(offered_->version, DefaultsKey::updateSuppressionVersion);
    defaults_.setInteger(mode_ == Mode::Automatic && checkBoxOn ? 1 : 0,
                         DefaultsKey::updateSuppression);
    defaults_.synchronize();
    return std::nullopt;
}

UpdateCheck::Prompt UpdateCheck::failurePrompt(const std::string& reason) const {
    return Prompt{
        message("The update check failed", "The version announcement at " + announcementURL() +
                                               " could not be read: " + reason + "."),
        ""};
}

UpdateCheck::Prompt UpdateCheck::availablePrompt(const Announcement& announcement) const {
    Prompt prompt;
    prompt.alert.style = Alert::Style::Informational;
    prompt.alert.messageText =
        versionTitle("Version %.02f of %s is available!", announcement.version);
    prompt.alert.informativeText = announcement.description;
    prompt.alert.buttons = {"Download now...", "Cancel"};
    prompt.alert.defaultButton = kDownloadButton;
    prompt.alert.cancelButton = 1;
    if (mode_ == Mode::Automatic) prompt.checkBoxText = "Do not show me again for this version";
    return prompt;
}

UpdateCheck::Prompt UpdateCheck::upToDatePrompt() const {
    return Prompt{message(versionTitle("Version %.02f of %s is up to date!", runningVersion_),
                          "Congratulations! You are running the latest Version."),
                  ""};
}

bool UpdateCheck::suppressed(const Announcement& announcement) const {
    return defaults_.boolForKey(DefaultsKey::updateSuppression) &&
           defaults_.doubleForKey(DefaultsKey::updateSuppressionVersion) == announcement.version;
}

}  // namespace vorlane
