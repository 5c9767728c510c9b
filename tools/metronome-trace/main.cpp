// metronome-trace [--help | --version | [--] SCRIPT]: plays a script of user actions and timer expiries against
// the metronome engine without a window and prints every observable effect.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "generated/project_info.h"
#include "trace_quote.h"
#include "trace_runner.h"

namespace {

constexpr int kBadUse = 2;  // a bad script, an unreadable file or a bad command line

constexpr const char* kUsage = "usage: metronome-trace [--help | --version | [--] SCRIPT]\n";

constexpr const char* kHelp =
    "Plays SCRIPT, a script of user actions and timer expiries, against the metronome's\n"
    "engine without a window, and prints every effect the window would show, one line\n"
    "each. Without SCRIPT it reads standard input; a SCRIPT whose name begins with '-'\n"
    "is named after \"--\". The script format is in the tool's README.\n"
    "Exit status: 0 after a run; 2 for a bad script, an unreadable file or a bad\n"
    "command line.\n";

// What the command line asks for: the script's path (none: standard input), or an
// answer printed at once with its exit status.
struct CommandLine {
    std::optional<std::string> script;
    std::optional<int> answeredWith;
};

// Any argument that begins with '-' is an option, except after "--" and a lone "-", which
// stays a file name as it always was.
CommandLine readCommandLine(int argc, char** argv)
{
    CommandLine line;
    bool optionsEnded = false;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            if (arg == "--help") {
                std::cout << kUsage << '\n' << kHelp;
                line.answeredWith = 0;
            } else if (arg == "--version") {
                std::cout << "metronome-trace " << tavro::project::kVersion << '\n';
                line.answeredWith = 0;
            } else {
                std::cerr << "metronome-trace: unknown option " << tavro::trace::quoteText(arg)
                          << '\n'
                          << kUsage;
                line.answeredWith = kBadUse;
            }
            return line;
        } else if (++files > 1) {
            std::cerr << kUsage;
            line.answeredWith = kBadUse;
            return line;
        } else {
            line.script = std::string(arg);
        }
    }
    return line;
}

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
    const CommandLine line = readCommandLine(argc, argv);
    if (line.answeredWith)
        return *line.answeredWith;
    std::string script;
    std::string problem;
    if (!readScript(line.script ? line.script->c_str() : nullptr, script, problem)) {
        std::fprintf(stderr, "metronome-trace: %s\n", problem.c_str());
        return kBadUse;
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
