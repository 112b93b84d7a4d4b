// korvex-cli: every analysis of KORVEX without the desktop, for scripts and batch work.
#include <algorithm>
#include <csignal>
#include <map>

#include "command_registry.h"

using namespace korvex::cli;

int main(int argc, char** argv)
{
    // Past a file-size limit a write fails with EFBIG like on a full disk: the save reports it
    // and removes its temporary file instead of dying of the signal.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{"KORVEX power-integrity and thermal analysis, command line"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("korvex-cli ") + KORVEX_VERSION);
    auto& commands = RegisteredCommands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::map<CLI::App*, CommandRun> runs;
    for (auto& command : commands) {
        CLI::App* sub = app.add_subcommand(command.name, command.description);
        runs[sub] = command.setup(*sub);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end here with exit code 0; wrong arguments give
        // the same one-line refusal and exit code as any other refusal.
        if (e.get_exit_code() == 0) return app.exit(e);
        return Refuse(std::string(e.what()) + " (see --help)");
    }
    for (auto& [sub, run] : runs)
        if (sub->parsed()) return run();
    return 1;
}
