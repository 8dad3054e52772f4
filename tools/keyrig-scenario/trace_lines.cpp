#include "trace_lines.h"

#include <set>

namespace keyrig::scenario {
namespace {

// The scenario's own events, printed as "KIND TEXT".
const std::set<std::string>& OwnKinds() {
    static const std::set<std::string> kinds = {"file",   "window",   "dialog", "msgbox",
                                                "text",   "language", "show",   "dump",
                                                "second", "error",    "region"};
    return kinds;
}

std::string FormatEntry(const platform::sim::LogEntry& entry) {
    if (entry.kind == "script") {
        return "> " + entry.text;
    }
    if (OwnKinds().contains(entry.kind)) {
        return entry.text.empty() ? entry.kind : entry.kind + " " + entry.text;
    }
    return platform::sim::DescribeEntry(entry);
}

}  // namespace

void Note(platform::sim::World& world, const std::string& kind, const std::string& text) {
    world.Record(platform::sim::Entry(kind, {}, text));
}

void PrintTrace(std::ostream& out, const std::vector<platform::sim::LogEntry>& log,
                std::chrono::steady_clock::time_point start, int status) {
    const auto since = [start](std::chrono::steady_clock::time_point when) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when - start).count();
        return ms < 0 ? 0 : ms;
    };
    for (const platform::sim::LogEntry& entry : log) {
        const std::string text = FormatEntry(entry);
        if (!text.empty()) {
            out << since(entry.when) << ' ' << text << '\n';
        }
    }
    out << since(std::chrono::steady_clock::now()) << " exit " << status << '\n';
}

}  // namespace keyrig::scenario
