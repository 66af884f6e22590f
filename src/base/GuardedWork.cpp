#include "base/GuardedWork.h"

#include <QtGlobal>
#include <exception>

namespace GuardedWork {

void LogCaught(const char* where) noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            // NumberedError among them: its what() is "number: text".
            qWarning("Lumora: %s failed: %s", where, e.what());
        } catch (...) {
            qWarning("Lumora: %s failed", where);
        }
    } catch (...) {
        // No memory even for the line: the failure stays unsaid rather than end the program.
    }
}

}  // namespace GuardedWork
