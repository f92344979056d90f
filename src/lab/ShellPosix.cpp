// Command lines for sh, with every word in single quotes.
#include "Shell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

std::string shellQuoted(const std::string& argument) {
    std::string out = "'";
    for (const char c : argument) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int runInShell(const std::string& commandLine) {
    const int status = std::system(commandLine.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string thisProgram(const char* argv0) {
    // argv[0] may be a bare name found on the PATH.
    std::error_code code;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
    return code ? argv0 : self.string();
}

bool errorsOnTerminal() {
    return isatty(STDERR_FILENO);
}

unsigned long processId() {
    return static_cast<unsigned long>(getpid());
}
