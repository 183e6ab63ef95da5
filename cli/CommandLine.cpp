#include "CommandLine.h"

#include <iostream>

namespace vorlane::cli {

std::optional<std::string> ParsedArguments::value(const std::string& option) const {
    const auto found = values.find(option);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

std::optional<ParsedArguments> parseArguments(const std::vector<std::string>& arguments,
                                              const std::set<std::string>& flagOptions,
                                              const std::set<std::string>& valueOptions,
                                              std::string& error) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-' || argument == "-") {
            parsed.positionals.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (flagOptions.count(argument) != 0) {
            parsed.flags.insert(argument);
        } else if (valueOptions.count(argument) != 0) {
            if (i + 1 >= arguments.size()) {
                error = "option " + argument + " needs a value";
                return std::nullopt;
            }
            parsed.values[argument] = arguments[++i];
        } else {
            error = "unknown option " + argument;
            return std::nullopt;
        }
    }
    return parsed;
}

int usageError(const std::string& message) {
    std::cerr << "vorlane: " << message << "\nTry 'vorlane --help'.\n";
    return kExitUsage;
}

}  // namespace vorlane::cli
