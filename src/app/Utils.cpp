#include "app/Utils.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace tl {

namespace {

// The shell's id of the per-user application-data folder.
constexpr int kAppDataFolderId = 26;

int busyDepth = 0;
std::function<void(bool)>& BusyHook()
{
    static std::function<void(bool)> hook;
    return hook;
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    // no HOME in the environment (started from a service): ask the user database
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string AppDataFolder()
{
    // a relative XDG_DATA_HOME is invalid and is to be ignored
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return xdg;
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    return AddTrailingBackslash(home) + ".local/share";
}

// Removes one folder's content and then the folder. Symbolic links are removed
// as links, so the walk never leaves the tree. Stops at the first failure.
bool DeleteTree(const fs::path& folder)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        const fs::file_status st = fs::symlink_status(entry, ec);
        if (ec)
            break;
        const bool removed = fs::is_directory(st) ? DeleteTree(entry) : fs::remove(entry, ec) && !ec;
        if (!removed)
            break;  // what is left makes the folder removal below fail too
    }
    ec.clear();
    return fs::remove(folder, ec) && !ec;
}

} // namespace

std::string FileBaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string AddTrailingBackslash(const std::string& path)
{
    if (!path.empty() && path.back() == '/')
        return path;
    return path + '/';
}

std::string RemoveTrailingBackslash(const std::string& path)
{
    if (!path.empty() && path.back() == '/')
        return path.substr(0, path.size() - 1);
    return path;
}

bool DeleteFolderTree(const std::string& folder)
{
    if (folder.empty())
        return false;
    std::error_code ec;
    // the folder itself may be a link: remove the link, never what it points to
    const fs::path link(RemoveTrailingBackslash(folder));
    if (!link.empty() && fs::is_symlink(fs::symlink_status(link, ec)))
        return fs::remove(link, ec) && !ec;
    const fs::file_status st = fs::symlink_status(folder, ec);
    if (!fs::exists(st))
        return true;  // nothing there: the folder is gone
    if (!fs::is_directory(st))
        return false;
    return DeleteTree(fs::path(folder));
}

void BusyCursorOn()
{
    ++busyDepth;
    if (busyDepth == 1 && BusyHook())
        BusyHook()(true);
}

void BusyCursorOff()
{
    if (busyDepth == 0)
        return;
    --busyDepth;
    if (busyDepth == 0 && BusyHook())
        BusyHook()(false);
}

int BusyCursorDepth()
{
    return busyDepth;
}

void SetBusyCursorHook(std::function<void(bool busy)> hook)
{
    BusyHook() = std::move(hook);
}

int WindowsVersion()
{
    return 0;
}

std::string SpecialFolderPath(int folderId, bool create)
{
    if (folderId != kAppDataFolderId)
        return {};
    std::string folder = AppDataFolder();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        return {};
    if (create) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder, ec))
            return {};
    }
    return folder;
}

std::string Trim(const std::string& text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

} // namespace tl
