#pragma once

#include <string>

#include "support/temp_dir.h"

namespace keyrig::test {

// The bytes a writer must produce, kept in tests/data/golden.
inline std::string Golden(const std::string& name) {
    return TempDir::ReadFile(std::filesystem::path(KEYRIG_TEST_DATA) / "golden" / name);
}

}  // namespace keyrig::test
