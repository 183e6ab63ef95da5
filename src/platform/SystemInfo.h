// What the running system says about itself, for settings and export logs.
#pragma once

#include <string>

namespace vorlane::SystemInfo {

// "Linux <kernel release> (<distribution name>)", e.g. "Linux 6.1.0-18-amd64 (Debian GNU/Linux
// 12 (bookworm))"; the parts that cannot be read are left out.
std::string operatingSystemVersionString();

}  // namespace vorlane::SystemInfo
