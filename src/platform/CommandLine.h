#pragma once
// Command lines as the tools receive them: one text, split into arguments the
// way the Windows command line is split. Nothing is ever expanded: '$', '`',
// ';', '&', '*', '|' and the like are plain characters of an argument.
#include <string>
#include <vector>

namespace tl {

// Splits a command line into arguments. Blanks and tabs separate arguments;
// double quotes group (and are removed); 2n backslashes before a quote give n
// backslashes and a grouping quote, 2n+1 give n backslashes and a literal
// quote; backslashes anywhere else are kept as they are. Inside a quoted part
// "" gives one literal quote. The first argument (the program) follows the
// same rules, so that a program path holding a quote can be written too.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// An argument in double quotes that SplitCommandLine (and the batch
// interpreter) split back into exactly the same text: a quote inside is
// written \" and the backslashes just before a quote are doubled. Text
// without quotes or trailing backslashes is simply put between quotes, so the
// command lines we write stay as they are for ordinary paths; a path holding a
// quote can then never break out of its argument.
std::string QuoteArgument(const std::string& text);

// The files a program name may refer to, in the order they should be tried:
// the name itself when it holds a '/', else the name in every folder of PATH.
// Used instead of execvp so that a file without a valid executable header is
// never handed to a shell.
std::vector<std::string> ProgramCandidates(const std::string& program);

// True when the file name ends in ".bat" in any letter case.
bool IsBatchFileName(const std::string& path);

} // namespace tl
