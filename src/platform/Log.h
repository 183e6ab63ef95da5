// The application log: one line per message, each carrying its class prefix in the text
// ("TempDirectory: Create folder failed /tmp/x"). Lines go to stderr unless that is switched off,
// and to every installed sink (the GUI's log view, an export run's log, tests).
#pragma once

#include <functional>
#include <string>

namespace vorlane::Log {

using Sink = std::function<void(const std::string& line)>;

// Writes one line (without a trailing newline). Safe from any thread.
void write(const std::string& line);
// printf-style convenience.
void writef(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a sink; the returned number removes it again.
int addSink(Sink sink);
void removeSink(int sinkId);
// Lines are written to stderr by default; the CLI switches that off for --quiet.
void setStandardErrorEnabled(bool enabled);

}  // namespace vorlane::Log
