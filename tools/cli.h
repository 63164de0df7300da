// Command-line conventions shared by every command: value names in help,
// the last of a repeated option wins, usage when nothing is asked, `help
// [COMMAND]`, `--version`, and errors that say which program speaks.
#pragma once

namespace CLI {
class App;
}

// Call once every command and option has been added.
void applyConventions(CLI::App& app);

// Parses the arguments. Returns -1 when a command is to run, else the exit
// code (help, version and usage errors are handled here).
int parseArguments(CLI::App& app, int argc, char** argv);
