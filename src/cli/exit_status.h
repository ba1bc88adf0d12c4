#pragma once

namespace tarvix::cli {

// What the program's exit status tells a script.
inline constexpr int kExitDone = 0;           // everything asked for was done
inline constexpr int kExitFailures = 1;       // some entries failed, or check found problems
inline constexpr int kExitUsage = 2;          // a wrong command line or a refused archive
inline constexpr int kExitInterrupted = 130;  // Ctrl+C, as a shell reports SIGINT

}  // namespace tarvix::cli
