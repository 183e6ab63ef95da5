// The per-user defaults store: key/value settings kept in a JSON file. The standard store lives
// at $VORLANE_CONFIG_DIR/defaults.json, else $XDG_CONFIG_HOME/vorlane/defaults.json, else
// ~/.config/vorlane/defaults.json. Values are strings, integers, doubles, bools, lists and
// dictionaries (dates and bytes cannot be stored).
//
// Changes stay in memory until `synchronize`, which merges them over the file's current content
// (so that two programs editing different keys do not undo each other) and writes the result
// atomically. A settings file that cannot be read or parsed never stops the application: it is
// reported once in the log, moved aside as "defaults.json.corrupt-<UTC time>" and the store
// starts empty, so that the standard values apply. All operations are safe from any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MetadataValue.h"

namespace vorlane {

class UserDefaults {
  public:
    // The application's shared store at standardPath(), loaded on first use.
    static UserDefaults& standardUserDefaults();
    // Where the standard store lives, from the environment (see above).
    static std::filesystem::path standardPath();

    // A store kept in the given file, loaded at once (tests, tools).
    explicit UserDefaults(std::filesystem::path path);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Values that stand in for absent keys (the application's standard values). They are never
    // written to the file and replace the registered values of earlier calls.
    void registerDefaults(MetadataDictionary values);

    // The stored value, else the registered one; nothing when the key has neither.
    std::optional<MetadataValue> objectForKey(const std::string& key) const;
    // Typed readers. A value of another kind is converted where that is meaningful (numbers and
    // bools into each other, number texts into numbers, "YES"/"true" into true); otherwise, and
    // for absent keys, they answer false, 0, 0.0 or nothing.
    bool boolForKey(const std::string& key) const;
    int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<MetadataList> arrayForKey(const std::string& key) const;
    std::optional<MetadataDictionary> dictionaryForKey(const std::string& key) const;
    // Every stored key and value (registered values are not stored).
    MetadataDictionary dictionaryRepresentation() const;
    // The keys the settings file gives as null (they read as absent).
    std::vector<std::string> nullKeys() const;

    // Setters. setObject refuses (false, logged) values that hold a date or bytes anywhere.
    bool setObject(const MetadataValue& value, const std::string& key);
    void setBool(bool value, const std::string& key);
    void setInteger(int64_t value, const std::string& key);
    void setDouble(double value, const std::string& key);
    void setString(const std::string& value, const std::string& key);
    void removeObjectForKey(const std::string& key);
    // Removes every key (the file keeps nothing after the next synchronize).
    void removeAllObjects();

    // Writes pending changes: the file's current content with the changes applied, written to
    // a temporary file in the same folder, flushed to disk and renamed over the file. False when
    // the file could not be written (logged); the changes then stay pending.
    bool synchronize();

    // The settings file's text as a dictionary; nothing when it is not a JSON object of
    // storable values (or nests deeper than 64 levels). Null entries count as absent.
    static std::optional<MetadataDictionary> parseSettingsText(std::string_view text);
    // The dictionary as the settings file's text; nothing when a value cannot be stored.
    static std::optional<std::string> settingsText(const MetadataDictionary& values);
    // One value in the file's notation (JSON), read and written: for tools that show or take
    // settings as text.
    static std::optional<MetadataValue> parseValueText(std::string_view text);
    static std::optional<std::string> valueText(const MetadataValue& value);

  private:
    enum class FileState { Missing, Loaded, Corrupt };
    struct FileContent {
        FileState state = FileState::Missing;
        MetadataDictionary values;
        std::vector<std::string> nullKeys;
    };

    FileContent readFile();
    void setPending(const std::string& key, std::optional<MetadataValue> value);
    bool writeFile(const std::string& text);

    const std::filesystem::path path_;
    mutable std::mutex mutex_;
    MetadataDictionary values_;
    MetadataDictionary registered_;
    std::vector<std::string> nullKeys_;
    // Keys changed since the last synchronize: a new value, or nothing for a removal.
    std::map<std::string, std::optional<MetadataValue>> pending_;
    bool removedAll_ = false;
    // Set when a corrupt file could not be moved aside: it must never be overwritten.
    bool writeBlocked_ = false;
};

}  // namespace vorlane
