#pragma once
// Our own interpreter for the batch files the program writes (~convert.bat,
// menu.bat). It knows just what those files need: one command per line,
// arguments grouped by double quotes, one pipe and the < > redirections.
// Commands are started directly, never through a shell, so nothing in a line
// is expanded: '$', '`', ';', '&', '*', '%' and the like are plain text.
#include <string>
#include <vector>

namespace tl {

struct BatchCommand {
    std::vector<std::string> args; // the program first; quotes removed
    std::string input;             // "<" file; empty: inherited
    std::string output;            // ">" or ">>" file; empty: inherited
    bool appendOutput = false;     // ">>"
    std::string errorOutput;       // "2>" or "2>>" file; empty: inherited
    bool appendError = false;
};

struct BatchLine {
    bool skip = false;                 // blank line, remark, echo switch
    std::string error;                 // the syntax error to report; empty when sound
    std::vector<BatchCommand> commands; // more than one: joined by pipes, left to right
};

// Splits a batch file's text into lines at CR LF or LF.
std::vector<std::string> SplitBatchLines(const std::string& text);

// Parses one line. A '|', '<' or '>' inside double quotes is plain text.
BatchLine ParseBatchLine(const std::string& line);

// Runs one parsed line and waits for it; the exit code of its last command.
// A command that cannot start is reported on standard error and gives 127.
int RunBatchLine(const BatchLine& line);

// Runs every line of the file in order; the exit code of the last command.
int RunBatchFile(const std::string& path);

// For the interpreter program: a termination request (SIGTERM) is passed on
// to the running commands, and no further line is started.
void InstallBatchSignalForwarding();

} // namespace tl
