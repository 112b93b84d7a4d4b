#pragma once
// Each korvex-cli subcommand lives in its own cmd_*.cpp and registers itself with
// a static KorvexCommand object: a name, a one-line description and a setup
// function that adds its options to the subcommand and returns the function that
// runs it (exit code 0 on success).
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace korvex::cli {

using CommandRun = std::function<int()>;
using CommandSetup = std::function<CommandRun(CLI::App& sub)>;

struct KorvexCommand {
    KorvexCommand(std::string name, std::string description, CommandSetup setup);
};

struct RegisteredCommand {
    std::string name;
    std::string description;
    CommandSetup setup;
};

std::vector<RegisteredCommand>& RegisteredCommands();

// Prints "korvex-cli: <reason>" on stderr and returns exit code 1.
int Refuse(const std::string& reason);

}  // namespace korvex::cli
