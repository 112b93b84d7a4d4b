#pragma once
// Starts the circuit simulator on a netlist, directly with an argument vector
// (never through a shell), in a process group of its own, and waits for it.
// A cancel request kills the whole group and reaps the simulator, so no child
// outlives the job and none is left as a zombie.
#include <string>

#include "util/cancel_token.h"

namespace korvex {

struct SimulatorRun {
    int ExitCode = -1;        // the simulator's exit code; -1 when it could not start
    bool Started = false;     // false: the executable is missing or not runnable
    int Signal = 0;           // non-zero when the simulator was killed by a signal
    bool Cancelled = false;   // the run was stopped by a cancel request
    std::string CommandText;  // the command as it would be typed, for the log
    std::string Reason;       // one line when the run failed
};

// The command as it would be typed: each argument in double quotes.
std::string SimulatorCommandText(const std::string& simulator, bool batchMode, const std::string& netlistPath);

// Runs `simulator [-b] netlist` in the netlist's folder and waits for it to end,
// or until `cancel` is set, when the simulator's process group is killed.
SimulatorRun RunSimulator(const std::string& simulator, bool batchMode, const std::string& netlistPath,
                          const korvex::CancelToken* cancel = nullptr);

// The last `maxLines` lines of a text file (the simulator's log after a failed run).
std::string TailOfFile(const std::string& path, int maxLines);

}  // namespace korvex
