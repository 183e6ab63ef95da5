// Where the application's own files are (the black movie the player shows after a clip's last
// frame): the share folder of an installation, found from the running program
// (<prefix>/share/vorlane beside <prefix>/bin/vorlane), else the resources/ folder of the source
// tree the program was built from, so that programs run from their build folder find them too.
#pragma once

#include <filesystem>
#include <string>

namespace vorlane::Resources {

// The folder for the running program, looked up once.
const std::filesystem::path& directory();
// The folder for a program at `executable`: the installed folder when it exists, else the
// source tree's.
std::filesystem::path directoryForExecutable(const std::filesystem::path& executable);
std::filesystem::path path(const std::string& name);

}  // namespace vorlane::Resources
