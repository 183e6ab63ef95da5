// Command lines for the tools that make and check media, written as one line of text.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace vorlane::test {

// The line split at spaces, then `more` (arguments that hold spaces, paths), for runTool.
inline std::vector<std::string> words(const std::string& line, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        arguments.push_back(word);
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

}  // namespace vorlane::test
