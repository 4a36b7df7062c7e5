// The program driver: the command line, the files and the order of the passes.
#pragma once

#include <filesystem>
#include <ostream>
#include <span>

#include "observe/observer.h"

namespace joinrel {

// Passes "PAUSE" to the command processor, so that a console window stays
// open over a fatal message; the result is ignored. Where the command does
// not exist, the shell says so on the standard error, which is harmless.
void runPauseCommand();

// A command-line argument as the platform hands it over: narrow on Linux,
// UTF-16 on Windows, so that any file name opens.
using Argument = const std::filesystem::path::value_type*;

// Runs joinrel with `args` (the program name first): reads the input file
// named by args[1], writes the output file named by args[2]. Writes to
// `console` only its messages, each followed by a line end and a flush; after
// a fatal one calls `pause` and returns 1. Memory that runs out anywhere in the
// run, the handling of the arguments included, is such a fatal error ("Nincs
// eleg memoria!"). Returns 0 after a complete run.
// A run whose only argument is "--help" or "-h" (and "/?" on Windows) writes
// the usage text to `console` instead, one with "--version" writes
// "joinrel <version>"; both return 0 and do not pause. Any other single
// argument is a missing argument. After the missing-argument message, and
// before the pause, writes the line
// "usage: joinrel INPUT OUTPUT (joinrel --help for more)" to `errors`; after
// "Ismeretlen relacio: <name>!", and before the pause, the line
// "did you mean A, B or C?" naming the relations of the file similar to it
// (see join/similar_names.h), when there are any. `errors` gets nothing else.
// Tells `observer` what the run writes, each piece once it
// is written, and, before the pause, its fatal message.
int runJoinrel(std::span<const Argument> args, std::ostream& console, std::ostream& errors,
               void (*pause)(), RunObserver& observer);

}  // namespace joinrel
