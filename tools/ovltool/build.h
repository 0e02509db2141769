// ovltool build: a data file from a content folder (a manifest, tivrel.toml, naming
// for each entry its source file or generator and options; everything else comes
// from a base data file). Called by OvltoolMain and, through a child ovltool, by the
// player's --data DIR.
#pragma once
#include <string>

// The data file the player would find: tivrel.ovl in the working folder, else beside
// this program, else ../share/tivrel/tivrel.ovl from this program's folder; empty
// when there is none.
std::string DefaultBasePath();

// Builds the data file of content folder `dir` into outPath ("-": standard output).
// basePath: the base data file, "none" for no base, empty for DefaultBasePath().
// Prints one line per entry (name, how it was made: "unchanged", "converted",
// "generated" or "base", and details) on stdout, or on stderr when the data file
// goes to stdout. Returns 0, or 1 after a one-line "ovltool: ..." message on stderr.
int CmdBuild(const char* dir, const char* outPath, const char* basePath, bool force);

// Help text for build: the manifest's keys for every entry.
std::string BuildHelp();
