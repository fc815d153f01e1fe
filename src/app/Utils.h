#pragma once
// Small path and text helpers shared by every subsystem.
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
// 0 here: not a Windows system.
int WindowsVersion();
// Special folder path: id 26 is the per-user application-data folder.
std::string SpecialFolderPath(int folderId, bool create);

// Blank-trim as the tools' texts need it (characters up to and including ' ').
std::string Trim(const std::string& text);

} // namespace tl
