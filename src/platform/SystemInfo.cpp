#include "platform/SystemInfo.h"

#include <sys/utsname.h>

#include <fstream>

namespace vorlane::SystemInfo {
namespace {

// PRETTY_NAME of /etc/os-release, without its quotes.
std::string distributionName() {
    std::ifstream in("/etc/os-release");
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("PRETTY_NAME=")) continue;
        std::string value = line.substr(12);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

}  // namespace

std::string operatingSystemVersionString() {
    std::string text = "Linux";
    utsname names{};
    if (::uname(&names) == 0) text += std::string(" ") + names.release;
    const std::string distribution = distributionName();
    if (!distribution.empty()) text += " (" + distribution + ")";
    return text;
}

}  // namespace vorlane::SystemInfo
