// tavro-plan: a practice plan's speed steps, as the metronome plays them, and its click
// track. See tavro-plan.1.
#include "plan/plan_command.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return tavro::plan::runPlanCommand(args, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "tavro-plan: " << error.what() << '\n';
        return 1;
    }
}
