// ovltool as a library: the whole command line of the archive tool in one call, for
// the program's main and for callers that run it in process (tests, fuzzing).
#pragma once

// Runs ovltool with argv[0..argc-1] (argv[0] is the program name and is not read).
// Returns the exit status: 0 on success, 1 after a one-line "ovltool: ..." message
// on stderr, 2 for a usage error. Never exits the process and keeps no state from
// one call to the next; output goes to stdout and stderr.
int OvltoolMain(int argc, char** argv);
