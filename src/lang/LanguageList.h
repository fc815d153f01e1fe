#pragma once
// The languages installed in a folder: every "*.ini" file there, with the
// display name its language file gives itself.
#include <string>
#include <vector>

namespace tl {

class TKelMultiLanguages {
public:
    // Lists the regular files ending in ".ini" (letter case ignored) of the folder,
    // sorted by file name so the order is the same on every file system. A file
    // without a name value (or with an empty one) is listed under its base name.
    // A missing folder gives an empty list.
    TKelMultiLanguages(const std::string& folder, const std::string& nameKey, const std::string& section);

    int Count() const { return static_cast<int>(paths_.size()); }
    // Empty text when i is outside 0..Count()-1.
    std::string Path(int i) const;
    std::string Name(int i) const;
    int CurrentIndex() const { return currentIndex_; }
    // Ignored when i is outside 0..Count()-1.
    void SetCurrentIndex(int i);

private:
    bool InRange(int i) const { return i >= 0 && i < Count(); }

    std::vector<std::string> paths_;
    std::vector<std::string> names_;
    int currentIndex_ = 0;
};

} // namespace tl
