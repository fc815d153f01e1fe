#pragma once
// The language catalogue: a fixed, ordered table of keys, each with its
// current text. Texts start as the built-in English ones.
#include <cstddef>
#include <string>
#include <string_view>

namespace tl {

inline constexpr std::size_t kCatalogueSize = 366;

struct CatalogueEntry {
    const char* key;
    const char* english;
};

// The table in its fixed order.
const CatalogueEntry& CatalogueEntryAt(std::size_t index);
// Index of a key, or kCatalogueSize when it is not a catalogue key.
std::size_t CatalogueIndex(std::string_view key);
// Current text of an entry.
const std::string& CatalogueText(std::size_t index);
void SetCatalogueText(std::size_t index, std::string text);
// Current text by key; an unknown key is a programming error and throws tl::Error.
const std::string& Text(std::string_view key);
// Back to the built-in English texts (start-up state; used by tests).
void ResetCatalogue();

} // namespace tl
