// The named errors of the MXF parsers. A read or seek past the end of an item's value raises one;
// nothing outside the value is ever read. They are thrown inside the MXF layer only: the loaders
// of MXFFileStructure catch them, write a log line and answer a plain failure.
#pragma once

#include <stdexcept>
#include <string>

namespace vorlane {

inline constexpr const char* kMXFSeekError = "MXFSeekError";
inline constexpr const char* kMXFSeekCheck = "MXFSeekCheck";

class MXFError : public std::runtime_error {
  public:
    MXFError(std::string name, std::string reason)
        : std::runtime_error(name + ": " + reason),
          name_(std::move(name)),
          reason_(std::move(reason)) {}

    // "MXFSeekError" or "MXFSeekCheck".
    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }

    // A cursor position beyond the value.
    static MXFError seekError() { return MXFError(kMXFSeekError, "Index beyond bounds"); }
    // A read that would pass the end of the value.
    static MXFError seekCheck() {
        return MXFError(kMXFSeekCheck, "Index with Offset would be beyond bounds");
    }

  private:
    std::string name_;
    std::string reason_;
};

}  // namespace vorlane
