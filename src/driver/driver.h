// The program driver: the command line, the files and the order of the passes.
#pragma once

#include <ostream>
#include <span>

namespace joinrel {

// Runs joinrel with `args` (the program name first): reads the input file
// named by args[1], writes the output file named by args[2]. Writes to
// `console` only its messages, each followed by a line end and a flush; after
// a fatal one runs "PAUSE" and returns 1. Returns 0 after a complete run.
int runJoinrel(std::span<const char* const> args, std::ostream& console);

}  // namespace joinrel
