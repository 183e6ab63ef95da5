#include "platform/RemovalOnSignal.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace vorlane {
namespace {

constexpr int kSlotCount = 64;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

enum SlotState : int { kFree, kFilling, kListed };

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

Slot slots[kSlotCount];

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the table's states");

void removeListedPaths(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == kListed) ::unlink(slot.path);
    // Folders last, once the files in them are gone.
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == kListed) ::rmdir(slot.path);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(signal, &standard, nullptr);
    errno = savedErrno;
    ::raise(signal);  // delivered as soon as the handler returns
}

}  // namespace

void RemovalOnSignal::installHandlers() {
    for (const int signal : kSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
            (current.sa_flags & SA_SIGINFO) != 0)
            continue;
        struct sigaction removal {};
        removal.sa_handler = removeListedPaths;
        sigemptyset(&removal.sa_mask);
        for (const int other : kSignals)
            sigaddset(&removal.sa_mask, other);
        ::sigaction(signal, &removal, nullptr);
    }
}

RemovalOnSignal::RemovalOnSignal(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= PATH_MAX) return;
    for (int index = 0; index < kSlotCount; ++index) {
        int expected = kFree;
        if (!slots[index].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slots[index].path, text.c_str(), text.size() + 1);
        slots[index].state.store(kListed, std::memory_order_release);
        slot_ = index;
        return;
    }
}

RemovalOnSignal::~RemovalOnSignal() {
    if (slot_ >= 0) slots[slot_].state.store(kFree, std::memory_order_release);
}

}  // namespace vorlane
