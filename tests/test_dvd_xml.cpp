// dvd.xml in both variants, byte for byte, and the XML worker of step 3.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/Error.h"
#include "app/Globals.h"
#include "authoring/DvdXmlWriter.h"
#include "support/TempFolder.h"
#include "support/TestLoop.h"

using namespace tl;
using tl::test::TempFolder;
using tl::test::TestLoop;

namespace {

const std::string kR = "/opt/tl/resources/";
const char* const kChapters = "15:00,30:00,45:00,1:00:00,1:15:00,1:30:00,1:45:00,2:00:00";

std::string Crlf(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& line : lines)
        out += line + "\r\n";
    return out;
}

std::string TitleVob(const std::string& t, int k)
{
    return std::string("<vob chapters=\"") + kChapters + "\" file=\"" + t + std::to_string(k) + ".mpg\"/>";
}

std::string VmgmHead(const std::string& pre)
{
    return Crlf({"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "<dvdauthor jumppad=\"1\">", "<vmgm>", "<menus>",
                 "<pgc>", "<vob file=\"" + kR + "empty.mpg\"/>", pre, "</pgc>", "</menus>", "</vmgm>",
                 "<titleset>"});
}

// The whole menu variant; pages are given literally since they are the point.
std::string ExpectedMenu(const std::string& t, int n, const std::vector<std::string>& pageLines)
{
    std::string out = VmgmHead("<pre>jump titleset 1 menu;</pre>") + Crlf({"<menus>"}) + Crlf(pageLines) +
                      Crlf({"</menus>", "<titles>"});
    for (int k = 0; k < n; ++k)
        out += Crlf({"<pgc>", TitleVob(t, k), "<post>call vmgm menu 1;</post>", "</pgc>"});
    return out + Crlf({"</titles>", "</titleset>", "</dvdauthor>"});
}

std::string ExpectedNoMenu(const std::string& t, const std::vector<int>& postTitles)
{
    std::string out = VmgmHead("<pre>jump title 1;</pre>") + Crlf({"<titles>"});
    for (std::size_t k = 0; k < postTitles.size(); ++k)
        out += Crlf({"<pgc>", TitleVob(t, static_cast<int>(k)),
                     "<post>jump title " + std::to_string(postTitles[k]) + ";</post>", "</pgc>"});
    return out + Crlf({"</titles>", "</titleset>", "</dvdauthor>"});
}

std::vector<std::string> MenuPages(const std::string& t, int n)
{
    auto vob = [&](int p) { return "<vob pause=\"inf\" file=\"" + t + "menu_final_" + std::to_string(p) + ".mpg\"/>"; };
    const std::string b1 = "<button name=\"Button1\">jump title ";
    const std::string b2 = "<button name=\"Button2\">jump title ";
    const std::string first = "<button name=\"first\">jump menu 1;</button>";
    switch (n) {
    case 1:
        return {"<pgc>", b1 + "1;</button>", first, "<button name=\"pre\">jump menu 1;</button>",
                "<button name=\"next\">jump menu 1;</button>", vob(0), "</pgc>"};
    case 2:
        return {"<pgc>", b1 + "1;</button>", b2 + "2;</button>", first, "<button name=\"pre\">jump menu 1;</button>",
                "<button name=\"next\">jump menu 1;</button>", vob(0), "</pgc>"};
    case 3:
        return {"<pgc>", b1 + "1;</button>", b2 + "2;</button>", first, "<button name=\"pre\">jump menu 1;</button>",
                "<button name=\"next\">jump menu 2;</button>", vob(0), "</pgc>",
                "<pgc>", b1 + "3;</button>", first, "<button name=\"pre\">jump menu 1;</button>",
                "<button name=\"next\">jump menu 2;</button>", vob(1), "</pgc>"};
    case 4:
        return {"<pgc>", b1 + "1;</button>", b2 + "2;</button>", first, "<button name=\"pre\">jump menu 1;</button>",
                "<button name=\"next\">jump menu 2;</button>", vob(0), "</pgc>",
                "<pgc>", b1 + "3;</button>", b2 + "4;</button>", first, "<button name=\"pre\">jump menu 1;</button>",
                "<button name=\"next\">jump menu 2;</button>", vob(1), "</pgc>"};
    default:
        return {};
    }
}

} // namespace

TEST(DvdXml, MenuVariantWholeFile)
{
    TempFolder dir;
    const std::string t = dir.Dir();
    for (int n = 1; n <= 4; ++n) {
        WriteMenuDvdXml(t, kR, n);
        EXPECT_EQ(TempFolder::Read(t + "dvd.xml"), ExpectedMenu(t, n, MenuPages(t, n))) << "N = " << n;
    }
}

TEST(DvdXml, MenuVariantFivePagesChainsNextAndPrevious)
{
    // Middle pages point back one page and forward one page.
    const auto lines = MenuDvdXmlLines("/t/", kR, 9);
    std::vector<std::string> pre, next;
    for (const auto& line : lines) {
        if (line.rfind("<button name=\"pre\">", 0) == 0)
            pre.push_back(line);
        if (line.rfind("<button name=\"next\">", 0) == 0)
            next.push_back(line);
    }
    auto jump = [](const char* name, int m) {
        return std::string("<button name=\"") + name + "\">jump menu " + std::to_string(m) + ";</button>";
    };
    EXPECT_EQ(pre, (std::vector<std::string>{jump("pre", 1), jump("pre", 1), jump("pre", 2), jump("pre", 3),
                                             jump("pre", 4)}));
    EXPECT_EQ(next, (std::vector<std::string>{jump("next", 2), jump("next", 3), jump("next", 4), jump("next", 5),
                                              jump("next", 5)}));
}

TEST(DvdXml, NoMenuVariantWholeFile)
{
    TempFolder dir;
    const std::string t = dir.Dir();
    const std::vector<std::vector<int>> posts = {{1}, {2, 1}, {2, 3, 1}, {2, 3, 4, 1}};
    for (int n = 1; n <= 4; ++n) {
        WriteNoMenuDvdXml(t, kR, n);
        EXPECT_EQ(TempFolder::Read(t + "dvd.xml"), ExpectedNoMenu(t, posts[static_cast<std::size_t>(n - 1)]))
            << "N = " << n;
    }
}

TEST(DvdXml, BothVariantsFromTheRunsSettings)
{
    TempFolder dir;
    const TOptions saved = Options;
    const std::string savedInstall = InstallDir;
    Options.TempDir = dir.Path().string();  // no trailing separator: the writers add it
    Options.ResourcesDir = kR;
    InstallDir = "/opt/tl";                  // the no-menu variant forms R from here
    Options.TitleCount = 2;

    WriteMenuDvdXml();
    EXPECT_EQ(TempFolder::Read(dir.Path() / "dvd.xml"), ExpectedMenu(dir.Dir(), 2, MenuPages(dir.Dir(), 2)));
    WriteNoMenuDvdXml();
    EXPECT_EQ(TempFolder::Read(dir.Path() / "dvd.xml"), ExpectedNoMenu(dir.Dir(), {2, 1}));

    Options = saved;
    InstallDir = savedInstall;
}

TEST(DvdXml, ReplacesALongerExistingFile)
{
    TempFolder dir;
    dir.Write("dvd.xml", std::string(10000, 'x'));
    WriteNoMenuDvdXml(dir.Dir(), kR, 1);
    EXPECT_EQ(TempFolder::Read(dir.Path() / "dvd.xml"), ExpectedNoMenu(dir.Dir(), {1}));
}

TEST(DvdXml, ValuesAreEscaped)
{
    TempFolder dir;
    const std::string raw = "a&b <c> \"d\" 'e'";
    const std::string folder = dir.Dir() + raw + "/";
    std::filesystem::create_directory(folder);
    const std::string escaped = dir.Dir() + "a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos;/";
    const std::string rEscaped = "/r&amp;s/";

    WriteMenuDvdXml(folder, "/r&s/", 3);
    std::string text = TempFolder::Read(folder + "dvd.xml");
    EXPECT_EQ(text, [&] {
        std::string expected = ExpectedMenu(escaped, 3, MenuPages(escaped, 3));
        const auto at = expected.find(kR);
        return expected.replace(at, kR.size(), rEscaped);
    }());
    EXPECT_EQ(text.find(raw), std::string::npos);

    WriteNoMenuDvdXml(folder, "/r&s/", 2);
    text = TempFolder::Read(folder + "dvd.xml");
    EXPECT_NE(text.find("file=\"/r&amp;s/empty.mpg\""), std::string::npos);
    EXPECT_NE(text.find("file=\"" + escaped + "1.mpg\""), std::string::npos);
    EXPECT_EQ(text.find(raw), std::string::npos);
}

TEST(DvdXml, EscapeTable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"/plain/path/ü/", "/plain/path/ü/"},
        {"&&", "&amp;&amp;"},
        {"&amp;", "&amp;amp;"},
        {"<>\"'", "&lt;&gt;&quot;&apos;"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(XmlEscape(in), out) << in;
}

TEST(DvdXml, WriteFailureRaisesErrorNamingTheFile)
{
    TempFolder dir;
    const std::string missing = dir.Dir() + "gone/";
    for (bool menus : {true, false}) {
        try {
            if (menus)
                WriteMenuDvdXml(missing, kR, 1);
            else
                WriteNoMenuDvdXml(missing, kR, 1);
            ADD_FAILURE() << "no error raised";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(missing + "dvd.xml"), std::string::npos) << e.what();
        }
    }
}

// ---- the XML worker ---------------------------------------------------------------

namespace {

struct WorkerRecord {
    std::vector<int> progress;
    std::vector<std::chrono::milliseconds> pauses;
    bool done = false;
    std::string failure;
    bool progressOnLoop = true;
    bool doneOnLoop = false;
};

DvdXmlWorker::Hooks RecordingHooks(WorkerRecord& rec, std::thread::id loopThread)
{
    DvdXmlWorker::Hooks hooks;
    hooks.progress = [&rec, loopThread](int p) {
        rec.progress.push_back(p);
        rec.progressOnLoop = rec.progressOnLoop && std::this_thread::get_id() == loopThread;
    };
    hooks.completed = [&rec, loopThread](const std::string& failure) {
        rec.done = true;
        rec.failure = failure;
        rec.doneOnLoop = std::this_thread::get_id() == loopThread;
    };
    // Pauses are recorded, not waited for.
    hooks.pause = [&rec](std::chrono::milliseconds d) { rec.pauses.push_back(d); };
    return hooks;
}

} // namespace

TEST(DvdXmlWorker, PacesProgressAroundTheFilesAndCompletesOnTheLoop)
{
    TempFolder dir;
    TestLoop loop;
    WorkerRecord rec;
    bool dvdXmlBeforeSubpictures = true;
    int progressSeenBySubpictures = -1;
    auto hooks = RecordingHooks(rec, std::this_thread::get_id());
    hooks.writeSubpictures = [&] {
        dvdXmlBeforeSubpictures = std::filesystem::exists(dir.Path() / "dvd.xml");
        progressSeenBySubpictures = static_cast<int>(rec.pauses.size());
    };
    DvdXmlWorker worker(loop, dir.Dir(), kR, 3, hooks);
    worker.Start();
    ASSERT_TRUE(loop.RunUntil([&] { return rec.done; }));

    EXPECT_EQ(rec.failure, "");
    EXPECT_TRUE(rec.doneOnLoop);
    EXPECT_TRUE(rec.progressOnLoop);
    EXPECT_EQ(rec.progress, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(rec.pauses, std::vector<std::chrono::milliseconds>(8, std::chrono::milliseconds(500)));
    EXPECT_FALSE(dvdXmlBeforeSubpictures);
    EXPECT_EQ(progressSeenBySubpictures, 0);
    EXPECT_EQ(TempFolder::Read(dir.Path() / "dvd.xml"), ExpectedMenu(dir.Dir(), 3, MenuPages(dir.Dir(), 3)));
}

TEST(DvdXmlWorker, WithoutSubpictureWriterStillWritesDvdXml)
{
    TempFolder dir;
    TestLoop loop;
    WorkerRecord rec;
    DvdXmlWorker worker(loop, dir.Dir(), kR, 1, RecordingHooks(rec, std::this_thread::get_id()));
    worker.Start();
    ASSERT_TRUE(loop.RunUntil([&] { return rec.done; }));
    EXPECT_EQ(rec.failure, "");
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "dvd.xml"));
}

TEST(DvdXmlWorker, FailuresStillComplete)
{
    struct Case {
        const char* name;
        bool subpicturesThrow;
        bool folderMissing;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {"subpicture writer fails", true, false, {0}},
        {"dvd.xml cannot be written", false, true, {0, 10, 20, 30, 40, 50}},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        TestLoop loop;
        WorkerRecord rec;
        auto hooks = RecordingHooks(rec, std::this_thread::get_id());
        if (c.subpicturesThrow)
            hooks.writeSubpictures = [] { throw Error("cannot read dat.dat"); };
        const std::string t = c.folderMissing ? dir.Dir() + "gone/" : dir.Dir();
        DvdXmlWorker worker(loop, t, kR, 2, hooks);
        worker.Start();
        ASSERT_TRUE(loop.RunUntil([&] { return rec.done; })) << c.name;
        EXPECT_NE(rec.failure, "") << c.name;
        EXPECT_EQ(rec.progress, c.progress) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "dvd.xml")) << c.name;
    }
}

TEST(DvdXmlWorker, DestroyedEarlyStopsWithoutReportingTheEnd)
{
    TempFolder dir;
    TestLoop loop;
    WorkerRecord rec;
    auto hooks = RecordingHooks(rec, std::this_thread::get_id());
    hooks.pause = {};  // the real, interruptible pause
    {
        DvdXmlWorker worker(loop, dir.Dir(), kR, 1, hooks);
        worker.Start();
        loop.RunUntil([&] { return !rec.progress.empty(); });
    }  // waits for the thread, which must not sit out its pauses
    loop.RunFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(rec.done);
}
