// Diagnostic lines on standard output. They tell a developer what the devices did and mean
// nothing to the program; tools whose standard output is their product turn them off.
#pragma once

namespace keyrig::device {

[[gnu::format(printf, 1, 2)]] void Trace(const char* format, ...);
void SetTraceEnabled(bool enabled);

}  // namespace keyrig::device
