#include "device/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace keyrig::device {
namespace {
std::atomic<bool> traceEnabled{true};
}

void Trace(const char* format, ...) {
    if (!traceEnabled.load(std::memory_order_relaxed)) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

void SetTraceEnabled(bool enabled) {
    traceEnabled = enabled;
}

}  // namespace keyrig::device
