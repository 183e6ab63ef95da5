// Argument parsing shared by the commands of the `vorlane` program.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vorlane::cli {

// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitInputFailed = 1;
inline constexpr int kExitUsage = 2;

struct ParsedArguments {
    std::vector<std::string> positionals;
    std::set<std::string> flags;                // options without a value ("--json")
    std::map<std::string, std::string> values;  // options with a value ("--fps 25")

    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::optional<std::string> value(const std::string& option) const;
};

// Splits arguments into positionals, flags and valued options. An unknown option or a valued
// option without its value is a usage error, described in `error`.
std::optional<ParsedArguments> parseArguments(const std::vector<std::string>& arguments,
                                              const std::set<std::string>& flagOptions,
                                              const std::set<std::string>& valueOptions,
                                              std::string& error);

// Prints "vorlane: <message>" and a hint to stderr; returns kExitUsage.
int usageError(const std::string& message);

}  // namespace vorlane::cli
