#pragma once
// The media probe: the one way a source file enters the title list. It filters
// by existence, extension and duplication, reads the file's properties with
// libmediainfo and refuses files whose properties are unusable.
#include <string>
#include <vector>

#include "platform/UiThread.h"
#include "platform/UserPrompts.h"
#include "project/FileItem.h"
#include "project/TitleList.h"

namespace tl {

// One property the probe reads: the name the title record is defined by and
// the name this libmediainfo build answers to (they differ where the library
// renamed a parameter).
struct ProbeField {
    int streamKind;             // 0 General, 1 Video, 2 Audio
    const char* requestedName;  // name the record's field is defined by
    const char* askedName;      // name passed to the library
    std::string TFileItem::*field;
};

// The sixteen library properties, in the order they are read.
const std::vector<ProbeField>& ProbeFields();

// The extension of a path: from the last '.' of the file name on, dot included;
// empty when the file name has no dot.
std::string FileExtension(const std::string& path);

// Extension test against OpenFilterList: the lower-cased extension (dot
// included) occurs anywhere in the pattern text of a line (the part after the
// first '='). False for an empty extension or an empty list.
bool IsAcceptedExtension(const std::string& ext);

// Fills the sixteen library fields of item from the file at path (FileName and
// Folder are left alone). A file the library cannot open leaves them empty.
void ProbeMedia(const std::string& path, TFileItem& item);

// The checks a probed record must pass, in order: the catalogue key of the
// first one that fails (STR_MAIN_AddingError1..4), or nullptr when it passes.
const char* RejectionKey(const TFileItem& item);

// Makes the process's character type UTF-8 if it is not, once: the library
// turns the 8-bit path into wide text and back through the C locale, so a
// plain "C" locale loses every non-ASCII file name. ProbeMedia calls it; the
// front end may call it at start-up, before other threads run.
void EnsureUtf8Locale();

// Probes one file and appends its row when it is acceptable. Missing files,
// refused extensions and duplicates are skipped silently; unusable media give
// one information box (prompts) and leave the list unchanged.
void AddSourceFile(TitleList& list, const std::string& path, UserPrompts& prompts, UiThread& ui);
void AddFileList(TitleList& list, const std::vector<std::string>& paths, UserPrompts& prompts,
                 UiThread& ui);

// The open dialog's filter: "name|pattern|" for each OpenFilterList line, then
// the catalogue's "All Files" and "|*.*".
std::string BuildOpenFilter();

} // namespace tl
