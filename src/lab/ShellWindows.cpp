// Command lines for cmd.exe, with every word in double quotes as programs' argument parsing
// reads them.
#include "Shell.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstdlib>

std::string shellQuoted(const std::string& argument) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        // Backslashes count only before a quote: doubled there, and the quote escaped.
        if (c == '"') out.append(backslashes + 1, '\\');
        backslashes = c == '\\' ? backslashes + 1 : 0;
        out += c;
    }
    return out.append(backslashes, '\\') + "\"";
}

int runInShell(const std::string& commandLine) {
    // cmd /c takes away the first and the last quote of a line that has more than two: a pair of
    // its own around the line keeps the line's.
    const int status = std::system(("\"" + commandLine + "\"").c_str());
    return status < 0 ? 128 : status;
}

std::string thisProgram(const char* argv0) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : argv0;
}

bool errorsOnTerminal() {
    return _isatty(_fileno(stderr));
}

unsigned long processId() {
    return GetCurrentProcessId();
}
