#include "authoring/DvdXmlWriter.h"

#include <utility>

#include "app/Error.h"
#include "app/Globals.h"
#include "app/Utils.h"
#include "app/WholeFile.h"
#include "platform/UiThread.h"

namespace tl {

namespace {

const char* const kChapters = "15:00,30:00,45:00,1:00:00,1:15:00,1:30:00,1:45:00,2:00:00";

std::string TitleVobLine(const std::string& tempDir, int k)
{
    return std::string("<vob chapters=\"") + kChapters + "\" file=\"" + XmlEscape(tempDir + std::to_string(k) + ".mpg") +
           "\"/>";
}

// Lines 1..6 of both variants: the video manager up to its menu video.
void AppendHead(std::vector<std::string>& lines, const std::string& resourcesDir)
{
    lines.insert(lines.end(), {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "<dvdauthor jumppad=\"1\">", "<vmgm>",
                               "<menus>", "<pgc>"});
    lines.push_back("<vob file=\"" + XmlEscape(resourcesDir + "empty.mpg") + "\"/>");
}

} // namespace

int MenuPageCount(int titleCount)
{
    return (titleCount - 1) / 2 + 1;
}

std::string XmlEscape(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::vector<std::string> MenuDvdXmlLines(const std::string& tempDir, const std::string& resourcesDir, int titleCount)
{
    const int pages = MenuPageCount(titleCount);
    std::vector<std::string> lines;
    AppendHead(lines, resourcesDir);
    lines.insert(lines.end(), {"<pre>jump titleset 1 menu;</pre>", "</pgc>", "</menus>", "</vmgm>", "<titleset>",
                               "<menus>"});
    for (int p = 0; p < pages; ++p) {
        lines.push_back("<pgc>");
        // Two slots per page; the last page may hold only the first.
        for (int slot = 0; slot < 2; ++slot) {
            const int k = 2 * p + slot;
            if (k > titleCount - 1)
                break;
            lines.push_back("<button name=\"Button" + std::to_string(slot + 1) + "\">jump title " +
                            std::to_string(k + 1) + ";</button>");
        }
        lines.push_back("<button name=\"first\">jump menu 1;</button>");
        lines.push_back("<button name=\"pre\">jump menu " + std::to_string(p == 0 ? 1 : p) + ";</button>");
        lines.push_back("<button name=\"next\">jump menu " + std::to_string(p < pages - 1 ? p + 2 : p + 1) +
                        ";</button>");
        lines.push_back("<vob pause=\"inf\" file=\"" + XmlEscape(tempDir + "menu_final_" + std::to_string(p) + ".mpg") +
                        "\"/>");
        lines.push_back("</pgc>");
    }
    lines.push_back("</menus>");
    lines.push_back("<titles>");
    for (int k = 0; k < titleCount; ++k) {
        lines.push_back("<pgc>");
        lines.push_back(TitleVobLine(tempDir, k));
        lines.push_back("<post>call vmgm menu 1;</post>");
        lines.push_back("</pgc>");
    }
    lines.insert(lines.end(), {"</titles>", "</titleset>", "</dvdauthor>"});
    return lines;
}

std::vector<std::string> NoMenuDvdXmlLines(const std::string& tempDir, const std::string& resourcesDir, int titleCount)
{
    std::vector<std::string> lines;
    AppendHead(lines, resourcesDir);
    lines.insert(lines.end(), {"<pre>jump title 1;</pre>", "</pgc>", "</menus>", "</vmgm>", "<titleset>", "<titles>"});
    for (int k = 0; k < titleCount; ++k) {
        lines.push_back("<pgc>");
        lines.push_back(TitleVobLine(tempDir, k));
        // Titles play one after another; the last one loops back to the first.
        lines.push_back("<post>jump title " + std::to_string(k < titleCount - 1 ? k + 2 : 1) + ";</post>");
        lines.push_back("</pgc>");
    }
    lines.insert(lines.end(), {"</titles>", "</titleset>", "</dvdauthor>"});
    return lines;
}

void SaveToolTextFile(const std::string& path, const std::vector<std::string>& lines)
{
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    WriteWholeFile(path, bytes);
}

void WriteMenuDvdXml(const std::string& tempDir, const std::string& resourcesDir, int titleCount)
{
    SaveToolTextFile(tempDir + "dvd.xml", MenuDvdXmlLines(tempDir, resourcesDir, titleCount));
}

void WriteMenuDvdXml()
{
    // options.ini may hold the folder without its separator; step 5 adds it too.
    WriteMenuDvdXml(AddTrailingBackslash(Options.TempDir), Options.ResourcesDir, Options.TitleCount);
}

void WriteNoMenuDvdXml(const std::string& tempDir, const std::string& resourcesDir, int titleCount)
{
    SaveToolTextFile(tempDir + "dvd.xml", NoMenuDvdXmlLines(tempDir, resourcesDir, titleCount));
}

void WriteNoMenuDvdXml()
{
    WriteNoMenuDvdXml(AddTrailingBackslash(Options.TempDir), AddTrailingBackslash(InstallDir) + "resources/",
                      Options.TitleCount);
}

// ---- the XML worker -------------------------------------------------------------

DvdXmlWorker::DvdXmlWorker(UiThread& ui, std::string tempDir, std::string resourcesDir, int titleCount, Hooks hooks)
    : ui_(ui), tempDir_(std::move(tempDir)), resourcesDir_(std::move(resourcesDir)), titleCount_(titleCount),
      hooks_(std::move(hooks))
{
}

DvdXmlWorker::DvdXmlWorker(UiThread& ui, Hooks hooks)
    : DvdXmlWorker(ui, AddTrailingBackslash(Options.TempDir), Options.ResourcesDir, Options.TitleCount,
                   std::move(hooks))
{
}

DvdXmlWorker::~DvdXmlWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void DvdXmlWorker::Start()
{
    if (thread_.joinable())
        throw Error("The XML worker is already running");
    thread_ = std::thread([this] { Body(); });
}

void DvdXmlWorker::Report(int percent)
{
    if (stop_ || !hooks_.progress)
        return;
    ui_.Post([fn = hooks_.progress, percent] { fn(percent); });
}

void DvdXmlWorker::Pause()
{
    if (stop_)
        return;
    if (hooks_.pause) {
        hooks_.pause(kPause);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, kPause, [this] { return stop_.load(); });
}

void DvdXmlWorker::Body()
{
    std::string failure;
    try {
        Report(0);
        if (hooks_.writeSubpictures)
            hooks_.writeSubpictures();
        for (int percent = 10; percent <= 50; percent += 10) {
            if (percent > 10)
                Pause();
            Report(percent);
        }
        WriteMenuDvdXml(tempDir_, resourcesDir_, titleCount_);
        for (int percent = 60; percent <= 100; percent += 10) {
            if (percent > 60)
                Pause();
            Report(percent);
        }
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error while writing the XML files";
    }
    // Once the owner has let go, nothing more reaches the user-interface thread.
    if (!stop_ && hooks_.completed)
        ui_.Post([fn = hooks_.completed, failure] { fn(failure); });
}

} // namespace tl
