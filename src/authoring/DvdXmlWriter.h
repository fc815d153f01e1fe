#pragma once
// dvd.xml, the structure file the DVD author tool reads: a video manager whose
// menu plays empty.mpg, one title set with one menu per menu page (two titles
// per page) and one title per converted file. Written with menus by the XML
// worker of step 3, without menus at once on the user-interface thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tl {

class UiThread;

// Number of menu pages for n titles: two titles per page.
int MenuPageCount(int titleCount);

// Text for an attribute value: & < > " ' become entities. The author tool
// reads the file with an XML parser, so a path holding any of them would
// otherwise make the whole file unreadable.
std::string XmlEscape(const std::string& value);

// The lines of the two variants. tempDir and resourcesDir end with a separator.
std::vector<std::string> MenuDvdXmlLines(const std::string& tempDir, const std::string& resourcesDir,
                                         int titleCount);
std::vector<std::string> NoMenuDvdXmlLines(const std::string& tempDir, const std::string& resourcesDir,
                                           int titleCount);

// Saves lines in one go for a tool: bytes as they are, no byte-order mark,
// every line (the last one too) ended by CR LF, replacing an existing file.
// Raises tl::Error naming the file when it cannot be written.
void SaveToolTextFile(const std::string& path, const std::vector<std::string>& lines);

// Writes tempDir + "dvd.xml" with menus.
void WriteMenuDvdXml(const std::string& tempDir, const std::string& resourcesDir, int titleCount);
// With the run's values: Options.TempDir (separator ensured), Options.ResourcesDir,
// Options.TitleCount.
void WriteMenuDvdXml();

// Writes tempDir + "dvd.xml" without menus.
void WriteNoMenuDvdXml(const std::string& tempDir, const std::string& resourcesDir, int titleCount);
// With the run's values: Options.TempDir (separator ensured), the resources
// folder below InstallDir, Options.TitleCount.
void WriteNoMenuDvdXml();

// The XML worker of step 3 with menus. Runs on its own thread: progress 0,
// the subpicture files, progress 10..50, dvd.xml, progress 60..100, with a
// pause between consecutive values that only paces the bar. Progress and the
// end are posted to the user-interface thread; the end is reported whether
// the body finished or failed. The owner keeps the object until the end has
// been reported (or destroys it earlier, which stops the pacing and waits for
// the thread).
class DvdXmlWorker {
public:
    struct Hooks {
        // Writes the subpicture files (may be empty). Runs on the worker thread.
        std::function<void()> writeSubpictures;
        // Progress value for the dialog; run on the user-interface thread.
        std::function<void(int percent)> progress;
        // The end; failure is empty when the body ran through, else the error
        // text. Run on the user-interface thread.
        std::function<void(const std::string& failure)> completed;
        // The pause between progress values; empty: 500 ms.
        std::function<void(std::chrono::milliseconds)> pause;
    };

    DvdXmlWorker(UiThread& ui, std::string tempDir, std::string resourcesDir, int titleCount, Hooks hooks);
    // With the run's values (Options.TempDir with its separator ensured,
    // Options.ResourcesDir, Options.TitleCount), read here on the
    // user-interface thread.
    DvdXmlWorker(UiThread& ui, Hooks hooks);
    ~DvdXmlWorker();
    DvdXmlWorker(const DvdXmlWorker&) = delete;
    DvdXmlWorker& operator=(const DvdXmlWorker&) = delete;

    // Starts the thread; the hooks are in place before it runs.
    void Start();

    static constexpr std::chrono::milliseconds kPause{500};

private:
    void Body();
    void Pause();
    void Report(int percent);

    UiThread& ui_;
    std::string tempDir_;
    std::string resourcesDir_;
    int titleCount_;
    Hooks hooks_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace tl
