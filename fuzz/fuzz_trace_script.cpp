// The metronome-trace tool on arbitrary bytes: it never crashes, gives 0 or 2, on 2
// prints nothing but one line of complaint, and on 0 prints only trace lines, whose
// quoted box texts read back as script commands.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fuzz_checks.h"
#include "trace_runner.h"
#include "trace_script.h"

namespace {

using namespace tavro::trace;
using tavro::fuzz::require;

// Long runs are the long-run test's business; here they would only slow the search.
constexpr std::uint64_t kMostExpiries = 10'000;

std::uint64_t totalExpiries(const ParsedScript& parsed)
{
    std::uint64_t total = 0;
    for (const Command& command : parsed.commands)
        if (const auto* expiries = std::get_if<TimerExpiries>(&command))
            total += expiries->count;
    return total;
}

bool startsWith(std::string_view line, std::string_view word)
{
    return line.substr(0, word.size()) == word;
}

void checkTraceLine(std::string_view line)
{
    if (startsWith(line, "text ")) {
        // START's rewrite of a box, quoted so that it reads back as the same command.
        const ParsedScript again = parseScript(line);
        require(!again.error && again.commands.size() == 1
                    && std::holds_alternative<TypeText>(again.commands[0]),
                "a traced box text reads back as a text command", line);
        return;
    }
    if (startsWith(line, "tick ")) {
        // tick K speed S bar B of T repeat R of RT beat BT beeps N: six label captions.
        std::vector<std::string_view> words;
        for (std::size_t at = 0; at <= line.size();) {
            const std::size_t end = std::min(line.find(' ', at), line.size());
            words.push_back(line.substr(at, end - at));
            at = end + 1;
        }
        require(words.size() == 16, "a beat line has sixteen words", line);
        for (std::size_t caption : {3, 5, 7, 9, 11, 13})
            require(tavro::fuzz::isWellFormedLabel(words[caption]), "captions are numbers", line);
        return;
    }
    require(startsWith(line, "interval ") || startsWith(line, "message \"") || line == "quit",
            "only trace lines are printed", line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    const ParsedScript parsed = parseScript(script);
    if (!parsed.error && totalExpiries(parsed) > kMostExpiries)
        return -1;

    std::ostringstream out;
    std::ostringstream err;
    const int status = runTraceScript(script, out, err);
    const std::string printed = out.str();
    const std::string complaint = err.str();
    require(status == (parsed.error ? 2 : 0), "exit 2 exactly for a bad script");
    if (status == 2) {
        require(printed.empty(), "a bad script prints no trace");
        require(!complaint.empty() && complaint.find('\n') == complaint.size() - 1,
                "a bad script gives exactly one line of complaint", complaint);
        return 0;
    }
    require(complaint.empty(), "a good script complains of nothing", complaint);
    require(printed.empty() || printed.back() == '\n', "the trace ends with a full line");
    std::string_view rest(printed);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        checkTraceLine(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    return 0;
}
