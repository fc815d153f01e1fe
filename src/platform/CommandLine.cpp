#include "platform/CommandLine.h"

#include <cctype>
#include <cstdlib>

namespace tl {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> args;
    const std::size_t n = commandLine.size();
    std::size_t i = 0;
    while (i < n && IsBlank(commandLine[i]))
        ++i;
    if (i == n)
        return args;

    // The program and its arguments.
    for (;;) {
        while (i < n && IsBlank(commandLine[i]))
            ++i;
        if (i == n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(commandLine[i]))) {
            const char c = commandLine[i];
            if (c == '\\') {
                std::size_t count = 0;
                while (i < n && commandLine[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && commandLine[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                    // even count: the quote is handled by the next round
                } else {
                    arg.append(count, '\\');
                }
            } else if (c == '"') {
                if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += c;
                ++i;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(const std::string& text)
{
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::vector<std::string> ProgramCandidates(const std::string& program)
{
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos)
        return {program};
    const char* env = std::getenv("PATH");
    const std::string path = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    std::vector<std::string> candidates;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = path.find(':', start);
        std::string folder = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (folder.empty())
            folder.push_back('.'); // an empty PATH entry means the current folder
        if (folder.back() != '/')
            folder += '/';
        candidates.push_back(folder + program);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return candidates;
}

bool IsBatchFileName(const std::string& path)
{
    if (path.size() < 4)
        return false;
    const std::string tail = path.substr(path.size() - 4);
    return tail[0] == '.' && std::tolower(static_cast<unsigned char>(tail[1])) == 'b' &&
           std::tolower(static_cast<unsigned char>(tail[2])) == 'a' &&
           std::tolower(static_cast<unsigned char>(tail[3])) == 't';
}

} // namespace tl
