#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tavro::plan {

// The whole program but main(): `args` without the program's name; the table or CSV
// goes to `out`, messages and the progress line to `err`. Gives the exit status.
int runPlanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tavro::plan
