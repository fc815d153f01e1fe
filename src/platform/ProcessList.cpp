#include "platform/ProcessList.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <unistd.h>

namespace tl {

namespace {

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string FileNamePart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Matches(const std::string& image, const std::string& name, const std::string& resolvedName)
{
    return !image.empty() && (SameTextIgnoringCase(FileNamePart(image), name) || SameTextIgnoringCase(image, name) ||
                              (!resolvedName.empty() && SameTextIgnoringCase(image, resolvedName)));
}

// The executable's path; a replaced executable is reported with " (deleted)".
std::string ExecutablePath(const std::filesystem::path& procDir)
{
    std::error_code error;
    std::string path = std::filesystem::read_symlink(procDir / "exe", error).string();
    if (error)
        return {};
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path;
}

std::string FirstArgument(const std::filesystem::path& procDir)
{
    std::ifstream file(procDir / "cmdline", std::ios::binary);
    std::string argv0;
    std::getline(file, argv0, '\0');
    return argv0;
}

} // namespace

bool EndToolProcesses(const std::string& name)
{
    if (name.empty())
        return false;
    // The system reports executables by their resolved path; a full path
    // given through a linked folder is compared in that form as well.
    std::string resolvedName;
    if (name.find('/') != std::string::npos) {
        std::error_code resolveError;
        resolvedName = std::filesystem::weakly_canonical(name, resolveError).string();
        if (resolveError || resolvedName == name)
            resolvedName.clear();
    }
    const pid_t self = ::getpid();
    bool result = false;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string id = entry.path().filename().string();
        if (id.empty() || !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(id));
        if (pid == self)
            continue;
        if (!Matches(ExecutablePath(entry.path()), name, resolvedName) &&
            !Matches(FirstArgument(entry.path()), name, resolvedName))
            continue;
        result = ::kill(pid, SIGKILL) == 0;
    }
    return result;
}

} // namespace tl
