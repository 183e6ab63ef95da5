// The update check: reads the version announcement (a small JSON object
// {"version": 0.2, "description": "...", "url": "https://..."} fetched by the front end from the
// URL in the `updateAnnouncementURL` setting) and decides what the user sees. Automatic checks
// (at start) stay silent unless a newer version is announced that the user has not set aside;
// manual checks (from the menu) always answer, also when the document cannot be had.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/AlertPresenter.h"
#include "platform/UserDefaults.h"

namespace vorlane {

class UpdateCheck {
  public:
    enum class Mode { Automatic, Manual };

    struct Announcement {
        double version = 0;
        std::string description;
        std::string url;  // http or https
    };

    // An alert, with a check box under it when `checkBoxText` is not empty.
    struct Prompt {
        Alert alert;
        std::string checkBoxText;
    };
    static constexpr size_t kDownloadButton = 0;

    UpdateCheck(UserDefaults& defaults, Mode mode, double runningVersion = currentVersion());

    // The application's version as a number ("0.1.0" reads 0.1).
    static double currentVersion();
    // The leading number of a version text; nothing when it does not start with one.
    static std::optional<double> versionNumber(std::string_view text);
    // Nothing when the text is not an announcement with a positive version and a web URL.
    static std::optional<Announcement> parseAnnouncement(std::string_view text);
    // What the setting may hold: nothing (no check), an http or https URL with a host, or a
    // local file URL (file:///path or file://localhost/path); no blanks or control characters.
    static bool isAnnouncementURL(std::string_view url);
    static constexpr char kAnnouncementURLRule[] =
        "The update announcement URL must be empty, an http or https URL, or a file URL "
        "(file:///path).";

    // The URL to fetch; empty when the user has set none (then nothing is contacted).
    std::string announcementURL() const;
    // Without a URL: nothing in automatic mode, a message saying how to set one in manual mode.
    std::optional<Prompt> promptWithoutURL() const;
    // The fetched document's text, or nothing with the reason when the fetch failed. Nothing
    // to show answers nothing.
    std::optional<Prompt> promptForDocument(const std::optional<std::string>& text,
                                            const std::string& failure);
    // The user's choice on the prompt. After a new-version prompt, download answers the URL to
    // open (the front end then quits) and any other choice remembers the version and the check
    // box state; after any other prompt it does nothing.
    std::optional<std::string> answer(size_t button, bool checkBoxOn);

  private:
    Prompt failurePrompt(const std::string& reason) const;
    Prompt availablePrompt(const Announcement& announcement) const;
    Prompt upToDatePrompt() const;
    bool suppressed(const Announcement& announcement) const;

    UserDefaults& defaults_;
    Mode mode_;
    double runningVersion_;
    std::optional<Announcement> offered_;  // by the last prompt
};

}  // namespace vorlane
