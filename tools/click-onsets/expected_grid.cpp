#include "expected_grid.h"

#include <sstream>

namespace tavro::onsets {

bool readExpectedGrid(std::istream& trace, std::vector<ExpectedBeat>& out, std::string& problem)
{
    out.clear();
    std::int64_t interval = 0;      // the last interval printed
    std::int64_t spacingAfter = 0;  // the interval in force after the last beat
    std::string line;
    for (int number = 1; std::getline(trace, line); ++number) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word != "interval" && word != "tick")
            continue;
        std::int64_t value = 0;
        if (!(words >> value) || value <= 0) {
            problem = "line " + std::to_string(number) + ": no positive number after " + word;
            return false;
        }
        if (word == "interval") {
            interval = value;
            continue;
        }
        if (interval == 0) {
            problem = "line " + std::to_string(number) + ": a tick before any interval";
            return false;
        }
        if (!out.empty() && value <= out.back().tick) {
            problem = "line " + std::to_string(number) + ": tick numbers must increase";
            return false;
        }
        const std::int64_t ms =
            out.empty() ? 0 : out.back().ms + (value - out.back().tick) * spacingAfter;
        out.push_back({value, ms});
        spacingAfter = interval;
    }
    if (out.empty()) {
        problem = "the trace plays no beat";
        return false;
    }
    return true;
}

}  // namespace tavro::onsets
