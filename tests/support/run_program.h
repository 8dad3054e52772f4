// Running one of our programs the way a user does, and reading what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace keyrig::test {

struct ProgramResult {
    int status = -1;  // the exit status, -1 when it did not exit
    std::string out;  // standard output and standard error together
};

inline ProgramResult RunProgram(const std::string& commandLine) {
    ProgramResult result;
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace keyrig::test
