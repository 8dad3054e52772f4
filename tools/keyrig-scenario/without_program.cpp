// A build without the window runs scripts on the key road alone.
#include <iostream>

#include "runners.h"

namespace keyrig::scenario {

int RunProgram(const std::filesystem::path& /*directory*/, const Script& /*script*/, int /*argc*/,
               char** /*argv*/) {
    std::cerr << "keyrig-scenario: this build has no program window; scripts with start cannot "
                 "run\n";
    return 2;
}

}  // namespace keyrig::scenario
