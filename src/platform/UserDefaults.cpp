#include "platform/UserDefaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "platform/Log.h"

namespace vorlane {
namespace {

using Json = nlohmann::json;

constexpr int kMaximumDepth = 64;
// A settings file holds a few kilobytes; anything far beyond that is not ours.
constexpr uintmax_t kMaximumFileSize = 64u << 20;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::filesystem::path homeFolder() {
    const std::string home = environment("HOME");
    if (!home.empty()) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/";
}

// Builds metadata values straight from the parser's events, without a document tree in between,
// so that a file of a million keys costs one pass and one copy of each value. Null entries of
// lists and dictionaries count as absent; the null keys of the outermost dictionary are noted.
class ValueBuilder : public nlohmann::json_sax<Json> {
  public:
    bool null() override { return add(std::nullopt); }
    bool boolean(bool value) override { return add(MetadataValue(value)); }
    bool number_integer(int64_t value) override { return add(MetadataValue(value)); }
    bool number_unsigned(uint64_t value) override {
        return add(value <= uint64_t(INT64_MAX) ? MetadataValue(int64_t(value))
                                                : MetadataValue(double(value)));
    }
    bool number_float(double value, const std::string&) override {
        return add(MetadataValue(value));
    }
    bool string(std::string& value) override { return add(MetadataValue(std::move(value))); }
    bool binary(Json::binary_t&) override { return false; }
    bool start_object(size_t) override { return open(false); }
    bool key(std::string& key) override {
        frames_.back().key = std::move(key);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

    // The text's value: a dictionary as `outermostDictionary` (kept apart so that it is never
    // copied), anything else as `result`.
    std::optional<MetadataDictionary> outermostDictionary;
    std::optional<MetadataValue> result;
    std::vector<std::string> nullKeys;

  private:
    struct Frame {
        bool isList = false;
        MetadataList list;
        MetadataDictionary dictionary;
        std::string key;
    };

    bool open(bool isList) {
        if (frames_.size() >= size_t(kMaximumDepth)) return false;
        frames_.emplace_back().isList = isList;
        return true;
    }
    bool close() {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        if (frames_.empty() && !frame.isList) {
            outermostDictionary = std::move(frame.dictionary);
            return true;
        }
        return add(frame.isList ? MetadataValue(std::move(frame.list))
                                : MetadataValue(std::move(frame.dictionary)));
    }
    bool add(std::optional<MetadataValue> value) {
        if (frames_.empty()) {
            result = std::move(value);
            return result.has_value();
        }
        Frame& frame = frames_.back();
        if (!value) {
            if (frames_.size() == 1 && !frame.isList) nullKeys.push_back(frame.key);
        } else if (frame.isList) {
            frame.list.push_back(std::move(*value));
        } else {
            // Files are written in key order, so the hint makes reading them linear.
            frame.dictionary.insert_or_assign(frame.dictionary.end(), std::move(frame.key),
                                              std::move(*value));
        }
        return true;
    }

    std::vector<Frame> frames_;
};

std::optional<Json> jsonFromValue(const MetadataValue& value) {
    return std::visit(
        [](const auto& item) -> std::optional<Json> {
            using T = std::decay_t<decltype(item)>;
            if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, int64_t> ||
                          std::is_same_v<T, bool>) {
                return Json(item);
            } else if constexpr (std::is_same_v<T, double>) {
                if (!std::isfinite(item)) return std::nullopt;
                return Json(item);
            } else if constexpr (std::is_same_v<T, MetadataList>) {
                Json array = Json::array();
                for (const MetadataValue& element : item) {
                    auto json = jsonFromValue(element);
                    if (!json) return std::nullopt;
                    array.push_back(std::move(*json));
                }
                return array;
            } else if constexpr (std::is_same_v<T, MetadataDictionary>) {
                Json object = Json::object();
                for (const auto& [key, element] : item) {
                    auto json = jsonFromValue(element);
                    if (!json) return std::nullopt;
                    object[key] = std::move(*json);
                }
                return object;
            } else {
                return std::nullopt;  // dates and bytes have no place in the settings file
            }
        },
        value.storage());
}

bool appendJson(std::string& out, const MetadataValue& value, int depth);

void appendIndent(std::string& out, int depth) {
    out.append(size_t(2 * depth), ' ');
}

// Texts that are not valid UTF-8 are stored with replacement characters.
void appendJsonText(std::string& out, const std::string& text) {
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A list or dictionary laid out as the file is (two spaces per level), element by element, so
// that a dictionary of a million keys is written without a second copy of it.
template <typename Container, typename AppendElement>
bool appendContainer(std::string& out, const Container& container, const char* brackets, int depth,
                     AppendElement appendElement) {
    out += brackets[0];
    bool first = true;
    for (const auto& element : container) {
        out += first ? "\n" : ",\n";
        first = false;
        appendIndent(out, depth + 1);
        if (!appendElement(element)) return false;
    }
    if (!first) {
        out += '\n';
        appendIndent(out, depth);
    }
    out += brackets[1];
    return true;
}

bool appendDictionary(std::string& out, const MetadataDictionary& dictionary, int depth) {
    return appendContainer(out, dictionary, "{}", depth, [&](const auto& entry) {
        appendJsonText(out, entry.first);
        out += ": ";
        return appendJson(out, entry.second, depth + 1);
    });
}

// Appends the value in the file's notation; false when the file cannot hold it.
bool appendJson(std::string& out, const MetadataValue& value, int depth) {
    if (const MetadataDictionary* dictionary = value.dictionary())
        return appendDictionary(out, *dictionary, depth);
    if (const MetadataList* list = value.list()) {
        return appendContainer(out, *list, "[]", depth, [&](const MetadataValue& element) {
            return appendJson(out, element, depth + 1);
        });
    }
    const auto json = jsonFromValue(value);
    if (!json) return false;
    out += json->dump(-1, ' ', false, Json::error_handler_t::replace);
    return true;
}

// The settings file's dictionary, with the keys it gives as null; nothing when the text is not a
// JSON object of storable values.
std::optional<MetadataDictionary> settingsOfText(std::string_view text,
                                                 std::vector<std::string>& nullKeys) {
    ValueBuilder builder;
    if (!Json::sax_parse(text.begin(), text.end(), &builder) || !builder.outermostDictionary)
        return std::nullopt;
    nullKeys = std::move(builder.nullKeys);
    return std::move(builder.outermostDictionary);
}

// The leading number of a text, as NSString's numeric readers take it.
template <typename T>
T leadingNumber(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\n\r");
    if (start == std::string::npos) return T{};
    if (text[start] == '+') ++start;
    T number{};
    std::from_chars(text.data() + start, text.data() + text.size(), number);
    return number;
}

bool textMeansTrue(const std::string& text) {
    size_t at = text.find_first_not_of(" \t\n\r");
    if (at == std::string::npos) return false;
    if (std::strchr("YyTt", text[at]) != nullptr) return true;
    if (text[at] == '+' || text[at] == '-') ++at;
    while (at < text.size() && text[at] == '0')
        ++at;
    return at < text.size() && text[at] >= '1' && text[at] <= '9';
}

std::string utcStamp() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

bool writeAll(int descriptor, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        written += size_t(count);
    }
    return true;
}

void syncFolder(const std::filesystem::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

}  // namespace

UserDefaults& UserDefaults::standardUserDefaults() {
    static UserDefaults store(standardPath());
    return store;
}

std::filesystem::path UserDefaults::standardPath() {
    const std::string configFolder = environment("VORLANE_CONFIG_DIR");
    if (!configFolder.empty()) return std::filesystem::path(configFolder) / "defaults.json";
    const std::filesystem::path xdg = environment("XDG_CONFIG_HOME");
    // The XDG rules ignore relative paths.
    if (xdg.is_absolute()) return xdg / "vorlane" / "defaults.json";
    return homeFolder() / ".config" / "vorlane" / "defaults.json";
}

UserDefaults::UserDefaults(std::filesystem::path path) : path_(std::move(path)) {
    std::lock_guard lock(mutex_);
    FileContent content = readFile();
    values_ = std::move(content.values);
    nullKeys_ = std::move(content.nullKeys);
}

std::vector<std::string> UserDefaults::nullKeys() const {
    std::lock_guard lock(mutex_);
    return nullKeys_;
}

void UserDefaults::registerDefaults(MetadataDictionary values) {
    std::lock_guard lock(mutex_);
    registered_ = std::move(values);
}

std::optional<MetadataValue> UserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (const auto found = values_.find(key); found != values_.end()) return found->second;
    if (const auto found = registered_.find(key); found != registered_.end()) return found->second;
    return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return false;
    if (const std::string* text = value->string()) return textMeansTrue(*text);
    const auto number = value->number();
    return number && *number != 0.0;
}

int64_t UserDefaults::integerForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return 0;
    if (const std::string* text = value->string()) return leadingNumber<int64_t>(*text);
    return value->integer().value_or(0);
}

double UserDefaults::doubleForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return 0.0;
    if (const std::string* text = value->string()) return leadingNumber<double>(*text);
    return value->number().value_or(0.0);
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (const std::string* text = value->string()) return *text;
    if (value->isBool() || value->isInteger()) return std::to_string(*value->integer());
    if (value->isDouble()) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, *value->number()).ptr;
        return std::string(text, end);
    }
    return std::nullopt;
}

std::optional<MetadataList> UserDefaults::arrayForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value || !value->isList()) return std::nullopt;
    return *value->list();
}

std::optional<MetadataDictionary> UserDefaults::dictionaryForKey(const std::string& key) const {
    const auto value = objectForKey(key);
    if (!value || !value->isDictionary()) return std::nullopt;
    return *value->dictionary();
}

MetadataDictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_;
}

bool UserDefaults::setObject(const MetadataValue& value, const std::string& key) {
    if (!jsonFromValue(value)) {
        Log::writef("UserDefaults: Value for key %s cannot be stored", key.c_str());
        return false;
    }
    std::lock_guard lock(mutex_);
    setPending(key, value);
    return true;
}

void UserDefaults::setBool(bool value, const std::string& key) {
    setObject(value, key);
}

void UserDefaults::setInteger(int64_t value, const std::string& key) {
    setObject(value, key);
}

void UserDefaults::setDouble(double value, const std::string& key) {
    setObject(value, key);
}

void UserDefaults::setString(const std::string& value, const std::string& key) {
    setObject(value, key);
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    setPending(key, std::nullopt);
}

void UserDefaults::removeAllObjects() {
    std::lock_guard lock(mutex_);
    values_.clear();
    pending_.clear();
    removedAll_ = true;
}

void UserDefaults::setPending(const std::string& key, std::optional<MetadataValue> value) {
    if (value)
        values_[key] = *value;
    else
        values_.erase(key);
    pending_[key] = std::move(value);
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    if (writeBlocked_) return false;
    FileContent disk = readFile();
    if (writeBlocked_) return false;
    if (pending_.empty() && !removedAll_ && disk.state != FileState::Corrupt) {
        if (disk.state == FileState::Loaded) {
            values_ = std::move(disk.values);
            nullKeys_ = std::move(disk.nullKeys);
        }
        return true;
    }
    MetadataDictionary merged;
    if (!removedAll_) merged = disk.state == FileState::Loaded ? disk.values : values_;
    for (const auto& [key, value] : pending_) {
        if (value)
            merged[key] = *value;
        else
            merged.erase(key);
    }
    values_ = merged;
    const auto text = settingsText(merged);
    if (!text || !writeFile(*text)) return false;
    pending_.clear();
    removedAll_ = false;
    return true;
}

std::optional<MetadataValue> UserDefaults::parseValueText(std::string_view text) {
    ValueBuilder builder;
    if (!Json::sax_parse(text.begin(), text.end(), &builder)) return std::nullopt;
    if (builder.outermostDictionary) return MetadataValue(std::move(*builder.outermostDictionary));
    return std::move(builder.result);
}

std::optional<std::string> UserDefaults::valueText(const MetadataValue& value) {
    const auto json = jsonFromValue(value);
    if (!json) return std::nullopt;
    return json->dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<MetadataDictionary> UserDefaults::parseSettingsText(std::string_view text) {
    std::vector<std::string> nullKeys;
    return settingsOfText(text, nullKeys);
}

std::optional<std::string> UserDefaults::settingsText(const MetadataDictionary& values) {
    std::string text;
    if (!appendDictionary(text, values, 0)) return std::nullopt;
    return text + "\n";
}

UserDefaults::FileContent UserDefaults::readFile() {
    std::error_code error;
    const auto status = std::filesystem::status(path_, error);
    if (!std::filesystem::exists(status)) return {};

    std::string problem;
    std::optional<MetadataDictionary> values;
    std::vector<std::string> nullKeys;
    if (!std::filesystem::is_regular_file(status)) {
        problem = "it is not a file";
    } else if (std::filesystem::file_size(path_, error) > kMaximumFileSize) {
        problem = "it is too large";
    } else {
        const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) {
            problem = std::strerror(errno);
        } else {
            std::string text;
            char buffer[65536];
            ssize_t count = 0;
            while ((count = ::read(descriptor, buffer, sizeof buffer)) > 0 ||
                   (count < 0 && errno == EINTR)) {
                if (count > 0) text.append(buffer, size_t(count));
            }
            if (count < 0) problem = std::strerror(errno);
            ::close(descriptor);
            if (problem.empty()) {
                values = settingsOfText(text, nullKeys);
                if (!values) problem = "it is not a valid settings file";
            }
        }
    }
    if (values) return {FileState::Loaded, std::move(*values), std::move(nullKeys)};

    // Keep the user's file for inspection and start from the standard values.
    std::filesystem::path aside = path_;
    aside += ".corrupt-" + utcStamp();
    for (int attempt = 1; std::filesystem::exists(aside, error); ++attempt) {
        aside = path_;
        aside += ".corrupt-" + utcStamp() + "-" + std::to_string(attempt);
    }
    std::filesystem::rename(path_, aside, error);
    if (error) {
        writeBlocked_ = true;
        Log::writef(
            "UserDefaults: Cannot read settings file %s (%s) and cannot move it aside (%s); "
            "using the standard settings without saving them",
            path_.c_str(), problem.c_str(), error.message().c_str());
    } else {
        Log::writef(
            "UserDefaults: Cannot read settings file %s (%s); moved it to %s and using the "
            "standard settings",
            path_.c_str(), problem.c_str(), aside.c_str());
    }
    return {FileState::Corrupt, {}, {}};
}

bool UserDefaults::writeFile(const std::string& text) {
    const std::filesystem::path folder = path_.parent_path().empty() ? "." : path_.parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::string temporary = (folder / (path_.filename().string() + ".tmp-XXXXXX")).string();
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        Log::writef("UserDefaults: Cannot write settings file %s: %s", path_.c_str(),
                    std::strerror(errno));
        return false;
    }
    bool written = writeAll(descriptor, text) && ::fsync(descriptor) == 0;
    const int writeError = errno;
    written = ::close(descriptor) == 0 && written;
    if (written && ::rename(temporary.c_str(), path_.c_str()) == 0) {
        syncFolder(folder);
        return true;
    }
    Log::writef("UserDefaults: Cannot write settings file %s: %s", path_.c_str(),
                std::strerror(written ? errno : writeError));
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace vorlane
