#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tavro::plan {

// Where the command writes: the table or CSV to `out`, messages to `err`, and, when `err`
// is a terminal, the progress of a long write there too.
struct Console {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
};

// The whole program but main(): `args` without the program's name. Gives the exit status.
// `--wav -` writes the click track to the program's standard output itself, not to `out`.
int runPlanCommand(const std::vector<std::string>& args, const Console& console);

}  // namespace tavro::plan
