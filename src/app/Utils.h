#pragma once
// Small path and text helpers shared by every subsystem.
#include <functional>
#include <string>

namespace tl {

// The file name without folder and without its extension.
std::string FileBaseName(const std::string& path);
// Appends the platform's folder separator unless the text already ends with it.
std::string AddTrailingBackslash(const std::string& path);
// Drops a trailing folder separator.
std::string RemoveTrailingBackslash(const std::string& path);
// Deletes a folder with everything in it; true when the folder is gone.
bool DeleteFolderTree(const std::string& folder);
// Nested busy cursor; the front end installs the hook that shows it.
void BusyCursorOn();
void BusyCursorOff();
int BusyCursorDepth();
// Called with true when the depth goes from 0 to 1 and with false when it
// returns to 0. An empty function removes the hook.
void SetBusyCursorHook(std::function<void(bool busy)> hook);
// 0 here: not a Windows system.
int WindowsVersion();
// Special folder path: id 26 is the per-user application-data folder
// ($XDG_DATA_HOME, else ~/.local/share), without a trailing separator and
// created when create is set. Other ids give empty text, as does a failure.
std::string SpecialFolderPath(int folderId, bool create);

// Blank-trim as the tools' texts need it (characters up to and including ' ').
std::string Trim(const std::string& text);

} // namespace tl
