#include "command_registry.h"

#include <cstdio>

namespace korvex::cli {

std::vector<RegisteredCommand>& RegisteredCommands()
{
    static std::vector<RegisteredCommand> commands;
    return commands;
}

KorvexCommand::KorvexCommand(std::string name, std::string description, CommandSetup setup)
{
    RegisteredCommands().push_back({std::move(name), std::move(description), std::move(setup)});
}

int Refuse(const std::string& reason)
{
    std::fprintf(stderr, "korvex-cli: %s\n", reason.c_str());
    return 1;
}

}  // namespace korvex::cli
