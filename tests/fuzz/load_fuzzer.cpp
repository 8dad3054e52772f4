// Feeds arbitrary bytes to one loader, chosen at build time, as the file it reads at start-up.
//
// Beyond "no crash, no leak, no hang", a store that loaded a file must write it back so that
// loading and saving once more gives the same bytes: whatever a user's file holds, the program
// never corrupts it by rewriting it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/app_config.h"
#include "store/key_assignment_store.h"
#include "store/lighting_store.h"
#include "store/macro_library.h"

namespace {

const std::filesystem::path& WorkDirectory() {
    static const std::filesystem::path directory = [] {
        const char* shm = "/dev/shm";
        auto base = std::filesystem::is_directory(shm) ? std::filesystem::path(shm)
                                                       : std::filesystem::temp_directory_path();
        auto path = base / ("keyrig-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] { std::filesystem::remove_all(WorkDirectory()); });
        return path;
    }();
    return directory;
}

[[maybe_unused]] std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& file, const uint8_t* data, size_t size) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Load, save, load, save: the two saved files must be equal.
template <typename Store>
[[maybe_unused]] void CheckRoundTrip(const std::filesystem::path& file) {
    Store first;
    if (!first.Load(file)) {
        return;
    }
    first.Save();
    const std::string once = ReadBytes(file);
    Store second;
    if (!second.Load(file)) {
        std::abort();  // what we wrote must load
    }
    second.Save();
    if (ReadBytes(file) != once) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto file = WorkDirectory() / "data.xml";
    WriteBytes(file, data, size);
#if defined(FUZZ_CONFIG)
    keyrig::AppConfig config;
    config.loadFile(file);
#elif defined(FUZZ_MACRO)
    CheckRoundTrip<keyrig::MacroLibrary>(file);
#elif defined(FUZZ_RECORD)
    CheckRoundTrip<keyrig::KeyAssignmentStore>(file);
#elif defined(FUZZ_LEDEFFECT)
    CheckRoundTrip<keyrig::LightingStore>(file);
#elif defined(FUZZ_SIDEMODEL)
    CheckRoundTrip<keyrig::SideLightStore>(file);
#else
#error "choose a loader"
#endif
    std::error_code ignored;
    std::filesystem::remove(WorkDirectory() / "data.xml.bad", ignored);
    return 0;
}
