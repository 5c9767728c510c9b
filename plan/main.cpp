// tavro-plan: a practice plan's speed steps, as the metronome plays them, and its click
// track. See tavro-plan.1.
#include "plan/descriptor_output.h"
#include "plan/plan_command.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // A reader that goes away makes a write fail with EPIPE, an error handled like any
    // other, instead of ending the program in the middle of a file.
    std::signal(SIGPIPE, SIG_IGN);
    tavro::plan::DescriptorBuffer standardOutput(STDOUT_FILENO);
    std::ostream out(&standardOutput);
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return tavro::plan::runPlanCommand(args, {out, std::cerr, isatty(STDERR_FILENO) == 1});
    } catch (const std::exception& error) {
        std::cerr << "tavro-plan: " << error.what() << '\n';
        return 1;
    }
}
