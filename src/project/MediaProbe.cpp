#include "project/MediaProbe.h"

#include <clocale>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <langinfo.h>
#include <memory>
#include <mutex>
#include <system_error>

#include "app/Format.h"
#include "app/Globals.h"
#include "lang/Catalogue.h"

// The ANSI C interface of libmediainfo (the library exports it; its own header
// would also drag in the wide-character interface we do not use).
extern "C" {
void* MediaInfoA_New();
void MediaInfoA_Delete(void* handle);
std::size_t MediaInfoA_Open(void* handle, const char* file);
void MediaInfoA_Close(void* handle);
const char* MediaInfoA_Get(void* handle, int streamKind, std::size_t streamNumber,
                           const char* parameter, int infoKind, int searchKind);
std::size_t MediaInfoA_Count_Get(void* handle, int streamKind, std::size_t streamNumber);
}

namespace tl {

namespace {

constexpr int kStreamGeneral = 0;
constexpr int kStreamVideo = 1;
constexpr int kStreamAudio = 2;
constexpr int kInfoText = 1;  // MediaInfo_Info_Text
constexpr int kInfoName = 0;  // MediaInfo_Info_Name: look the parameter up by name

// Requested name -> name asked of libmediainfo 23.04. The build dropped the old
// "Codec..." family (its successor is "Format") and answers only the
// "BitRate" spelling: the names marked "renamed" come back empty from it on
// ordinary AVI, MPEG-PS, MP4 and MKV files. Every other name, the old
// "PlayTime/String3" included, is still answered and is asked unchanged.
// The two counts are completed from the library's stream count (FillMissingCount).
const std::vector<ProbeField> kProbeFields = {
    {kStreamGeneral, "CompleteName",     "CompleteName",     &TFileItem::CompleteName},
    {kStreamGeneral, "FileSize",         "FileSize",         &TFileItem::FileSize},
    {kStreamGeneral, "Format",           "Format",           &TFileItem::Format},
    {kStreamGeneral, "PlayTime/String3", "PlayTime/String3", &TFileItem::PlayTime},  // HH:MM:SS.mmm
    {kStreamGeneral, "AudioCount",       "AudioCount",       &TFileItem::AudioCount},  // empty -> "0"
    {kStreamGeneral, "VideoCount",       "VideoCount",       &TFileItem::VideoCount},  // empty -> "0"
    {kStreamVideo,   "Codec/String",     "Format",           &TFileItem::VideoCodec},    // renamed
    {kStreamVideo,   "Width",            "Width",            &TFileItem::Width},
    {kStreamVideo,   "Height",           "Height",           &TFileItem::Height},
    {kStreamVideo,   "Bitrate",          "BitRate",          &TFileItem::VideoBitrate},  // renamed
    {kStreamVideo,   "AspectRatio",      "AspectRatio",      &TFileItem::AspectRatio},
    {kStreamVideo,   "FrameRate",        "FrameRate",        &TFileItem::FrameRate},
    {kStreamAudio,   "Codec/String",     "Format",           &TFileItem::AudioCodec},    // renamed
    {kStreamAudio,   "BitRate",          "BitRate",          &TFileItem::AudioBitRate},
    {kStreamAudio,   "Channel(s)",       "Channel(s)",       &TFileItem::Channels},
    {kStreamAudio,   "SamplingRate",     "SamplingRate",     &TFileItem::SamplingRate},
};

struct MediaInfoCloser {
    void operator()(void* handle) const
    {
        MediaInfoA_Close(handle);
        MediaInfoA_Delete(handle);
    }
};
using MediaInfoHandle = std::unique_ptr<void, MediaInfoCloser>;

std::string AsciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// This build leaves "AudioCount"/"VideoCount" empty when a file has no stream of
// the kind, where the count "0" is meant; the library's stream count says so.
void FillMissingCount(void* handle, std::string& count, int streamKind)
{
    if (!count.empty() || MediaInfoA_Count_Get(handle, kStreamGeneral, static_cast<std::size_t>(-1)) == 0)
        return;
    count = std::to_string(MediaInfoA_Count_Get(handle, streamKind, static_cast<std::size_t>(-1)));
}

} // namespace

const std::vector<ProbeField>& ProbeFields()
{
    return kProbeFields;
}

std::string FileExtension(const std::string& path)
{
    std::size_t nameStart = path.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    return path.substr(dot);
}

bool IsAcceptedExtension(const std::string& ext)
{
    if (ext.empty())
        return false;
    const std::string lowered = AsciiLower(ext);
    for (const std::string& line : OpenFilterList) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (AsciiLower(line.substr(eq + 1)).find(lowered) != std::string::npos)
            return true;
    }
    return false;
}

void EnsureUtf8Locale()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const char* codeset = nl_langinfo(CODESET);
        if (codeset && std::strcmp(codeset, "UTF-8") == 0)
            return;
        // Only the character type: numbers keep the "." separator.
        if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
            std::setlocale(LC_CTYPE, "en_US.UTF-8");
    });
}

void ProbeMedia(const std::string& path, TFileItem& item)
{
    EnsureUtf8Locale();
    MediaInfoHandle handle(MediaInfoA_New());
    if (!handle)
        return;
    // The result of Open is not needed: a file the library cannot read answers
    // every question with empty text, which the caller's checks refuse.
    MediaInfoA_Open(handle.get(), path.c_str());
    for (const ProbeField& f : kProbeFields) {
        // The returned text lives only until the next call: copy it at once.
        const char* value = MediaInfoA_Get(handle.get(), f.streamKind, 0, f.askedName, kInfoText, kInfoName);
        item.*f.field = value ? value : "";
    }
    FillMissingCount(handle.get(), item.AudioCount, kStreamAudio);
    FillMissingCount(handle.get(), item.VideoCount, kStreamVideo);
}

const char* RejectionKey(const TFileItem& item)
{
    if (item.CompleteName.empty())
        return "STR_MAIN_AddingError1";
    if (item.FileSize.empty())
        return "STR_MAIN_AddingError2";
    if (item.PlayTime.empty())
        return "STR_MAIN_AddingError3";
    // An empty count is "not known", not "none".
    if (item.VideoCount == "0" && item.AudioCount == "0")
        return "STR_MAIN_AddingError4";
    return nullptr;
}

void AddSourceFile(TitleList& list, const std::string& path, UserPrompts& prompts, UiThread& ui)
{
    ui.ProcessMessages();

    // Regular files only (after links): a folder is no title, and opening a
    // pipe or a device would block the user-interface thread.
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return;
    if (!IsAcceptedExtension(FileExtension(path)))
        return;
    // Exact, case-sensitive: a path differing only in letter case is a new title.
    if (list.ContainsExact(path))
        return;

    auto item = std::make_unique<TFileItem>();
    std::size_t slash = path.find_last_of('/');
    item->FileName = slash == std::string::npos ? path : path.substr(slash + 1);
    item->Folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    ProbeMedia(path, *item);

    if (const char* key = RejectionKey(*item)) {
        prompts.Message(Format(Text(key), {path}), Text("STR_Error"), MsgKind::Information, MsgButtons::Ok);
        return;  // the record goes with item
    }
    list.Append(std::move(item));
}

void AddFileList(TitleList& list, const std::vector<std::string>& paths, UserPrompts& prompts,
                 UiThread& ui)
{
    for (const std::string& path : paths)
        AddSourceFile(list, path, prompts, ui);
}

std::string BuildOpenFilter()
{
    std::string filter;
    for (const std::string& line : OpenFilterList) {
        std::size_t eq = line.find('=');
        std::string name = eq == std::string::npos ? std::string() : line.substr(0, eq);
        std::string pattern = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        filter += name + "|" + pattern + "|";
    }
    return filter + Text("STR_AllFiles") + "|*.*";
}

} // namespace tl
