#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
#include <filesystem>
#include <string>

namespace tl::test {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "tl-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    // The folder as text with a trailing separator.
    std::string Dir() const;
    // Writes a file (bytes as they are) below the folder; returns its full path.
    std::string Write(const std::string& relative, const std::string& bytes) const;
    static std::string Read(const std::filesystem::path& file);

private:
    std::filesystem::path path_;
};

} // namespace tl::test
