#pragma once

#include <utility>

// Work that must not throw out of where it runs (an event handler, a timer, a thread's last
// frame): Run calls it and, when it throws, says once what was caught and where (qWarning, with
// the error's number and text when it has them) and returns false; the caller then leaves things
// as they were. The one place the program turns a failure it cannot report into a log line.
namespace GuardedWork {

// Logs the exception being handled, for where; called only inside a catch block. Never throws.
void LogCaught(const char* where) noexcept;

template <typename Work>
bool Run(const char* where, Work&& work) noexcept {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (...) {
        LogCaught(where);
        return false;
    }
}

}  // namespace GuardedWork
