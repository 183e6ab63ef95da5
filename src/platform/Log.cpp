#include "platform/Log.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Text.h"

namespace vorlane::Log {
namespace {

struct LogState {
    std::mutex mutex;
    std::map<int, Sink> sinks;
    int nextSinkId = 1;
    bool standardError = true;
};

LogState& state() {
    static LogState instance;
    return instance;
}

}  // namespace

void write(const std::string& line) {
    LogState& log = state();
    std::vector<Sink> sinks;
    {
        std::lock_guard lock(log.mutex);
        if (log.standardError) std::fprintf(stderr, "%s\n", printableText(line).c_str());
        for (const auto& [id, sink] : log.sinks)
            sinks.push_back(sink);
    }
    for (const Sink& sink : sinks)
        sink(line);
}

void writef(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::string line = formatTextWithArguments(format, arguments);
    va_end(arguments);
    write(line);
}

int addSink(Sink sink) {
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    const int id = log.nextSinkId++;
    log.sinks.emplace(id, std::move(sink));
    return id;
}

void removeSink(int sinkId) {
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    log.sinks.erase(sinkId);
}

void setStandardErrorEnabled(bool enabled) {
    LogState& log = state();
    std::lock_guard lock(log.mutex);
    log.standardError = enabled;
}

}  // namespace vorlane::Log
