// Running command lines through the system's shell, as the leaderboard runs its drives, and the
// facts about this process that it needs; one implementation for POSIX systems (sh), one for
// Windows (cmd.exe).
#pragma once

#include <string>

// ARGUMENT as one word of a command line, whatever it holds.
std::string shellQuoted(const std::string& argument);
// Runs COMMAND_LINE and waits for it; its exit status, 128 when it did not exit by itself.
int runInShell(const std::string& commandLine);
// The path of this program's file; argv0 when the system cannot say.
std::string thisProgram(const char* argv0);
// Whether the standard error stream is a terminal, where progress may be redrawn in place.
bool errorsOnTerminal();
// This process's number, to name its scratch folders.
unsigned long processId();
