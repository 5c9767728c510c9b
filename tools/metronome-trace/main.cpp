// metronome-trace [SCRIPT]: plays a script of user actions and timer expiries against
// the metronome engine without a window and prints every observable effect.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "trace_quote.h"
#include "trace_runner.h"

namespace {

// Reads all of `file` as bytes; false (with errno set) on a read error.
bool readAll(std::FILE* file, std::string& bytes)
{
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    return std::ferror(file) == 0;
}

bool readScript(const char* path, std::string& script, std::string& problem)
{
    if (path == nullptr) {
        if (readAll(stdin, script))
            return true;
        problem = std::string("cannot read standard input: ") + std::strerror(errno);
        return false;
    }
    std::FILE* file = std::fopen(path, "rb");
    bool ok = file != nullptr && readAll(file, script);
    const int error = errno;
    if (file != nullptr)
        std::fclose(file);
    if (!ok)
        problem = "cannot read " + tavro::trace::quoteText(path) + ": " + std::strerror(error);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fputs("usage: metronome-trace [SCRIPT]\n", stderr);
        return 2;
    }
    std::string script;
    std::string problem;
    if (!readScript(argc == 2 ? argv[1] : nullptr, script, problem)) {
        std::fprintf(stderr, "metronome-trace: %s\n", problem.c_str());
        return 2;
    }

    // The trace is bytes: no locale, and no syncing with stdio so that it is buffered.
    std::ios::sync_with_stdio(false);
    const int status = tavro::trace::runTraceScript(script, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) {
        std::fputs("metronome-trace: cannot write the trace\n", stderr);
        return 1;
    }
    return status;
}
