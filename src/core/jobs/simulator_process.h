#pragma once
// Starts the circuit simulator on a netlist, directly with an argument vector
// (never through a shell), and waits for it.
#include <string>

namespace korvex {

struct SimulatorRun {
    int ExitCode = -1;        // the simulator's exit code; -1 when it could not start
    bool Started = false;     // false: the executable is missing or not runnable
    int Signal = 0;           // non-zero when the simulator was killed by a signal
    std::string CommandText;  // the command as it would be typed, for the log
    std::string Reason;       // one line when the run failed
};

// The command as it would be typed: each argument in double quotes.
std::string SimulatorCommandText(const std::string& simulator, bool batchMode, const std::string& netlistPath);

// Runs `simulator [-b] netlist` in the netlist's folder and waits for it to end.
SimulatorRun RunSimulator(const std::string& simulator, bool batchMode, const std::string& netlistPath);

// The last `maxLines` lines of a text file (the simulator's log after a failed run).
std::string TailOfFile(const std::string& path, int maxLines);

}  // namespace korvex
