// The DVD author tool's report turned into progress, and its command line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "authoring/DvdBuild.h"
#include "platform/CommandLine.h"

using namespace tl;

namespace {

const std::string kTool = "/opt/tl/dvdauthoring.dll";
const std::string kT = "/home/u/work/";

} // namespace

TEST(AuthoringParser, LineTable)
{
    struct Case {
        const char* name;
        std::string line;
        int titles;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"own command line", "\"" + kTool + "\" -o \"/home/u/work/DVD_DISC1\" -x \"/home/u/work/dvd.xml\"", 2, 20},
        {"title 1 of 4", "STAT: Processing " + kT + "1.mpg...", 4, 50},
        {"title 1 of 3: quotient first", "STAT: Processing " + kT + "1.mpg...", 3, 66},
        {"title 0 of 3", "STAT: Processing " + kT + "0.mpg...", 3, 33},
        {"last of 3", "STAT: Processing " + kT + "2.mpg...", 3, 99},
        {"11.mpg is not title 1", "STAT: Processing " + kT + "11.mpg...", 4, std::nullopt},
        {"11.mpg is title 11 of 12", "STAT: Processing " + kT + "11.mpg...", 12, 96},
        {"title beyond N", "STAT: Processing " + kT + "4.mpg...", 4, std::nullopt},
        {"menu video", "STAT: Processing " + kT + "menu_final_0.mpg...", 4, std::nullopt},
        {"empty.mpg", "STAT: Processing /opt/tl/resources/empty.mpg...", 4, 100},
        {"empty.mpg anywhere", "INFO: empty.mpg", 4, 100},
        {"more than 100 titles", "STAT: Processing " + kT + "5.mpg...", 101, 0},
        {"other folder", "STAT: Processing /elsewhere/1.mpg...", 4, std::nullopt},
        {"title named without the STAT prefix", "ERR: cannot open " + kT + "1.mpg", 4, std::nullopt},
        {"case matters", "stat: processing " + kT + "1.mpg...", 4, std::nullopt},
        {"error line", "ERR:  2 opening input video file", 4, std::nullopt},
        {"tool path then title: title wins", kTool + " STAT: Processing " + kT + "0.mpg", 2, 50},
        {"title then empty.mpg: empty wins", "STAT: Processing " + kT + "0.mpg empty.mpg", 2, 100},
        {"no titles: no division", "STAT: Processing " + kT + "0.mpg", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        const AuthoringOutputParser parser(kTool, kT, c.titles);
        EXPECT_EQ(parser.LineProgress(c.line), c.expected) << c.name;
    }
}

TEST(AuthoringParser, ChunksAreAssembledIntoWholeLines)
{
    const AuthoringOutputParser parser(kTool, kT, 4);
    std::string carry;
    std::vector<int> progress;
    auto feed = [&](const std::string& chunk, bool ended) {
        parser.Feed(carry, chunk.data(), chunk.size(), ended, [&](int p) { progress.push_back(p); });
    };

    // "/home/u/work/1" alone would not match title 1; the whole line does, once.
    feed("STAT: Processing /home/u/wo", false);
    EXPECT_TRUE(progress.empty());
    feed("rk/1.mpg...\nINFO: Video pts = 0.540 .. 2.540\n\nSTAT: VOBU 9 at 0MB, 2 PGCs\r", false);
    EXPECT_EQ(progress, std::vector<int>{50});

    // A lone CR ends a line as well; blank lines move nothing.
    feed("STAT: Processing " + kT + "3.mpg...\r   \r\n", false);
    EXPECT_EQ(progress, (std::vector<int>{50, 100}));

    // After the end nothing waits in the carry.
    feed("STAT: Processing /opt/tl/resources/empty.mpg...", true);
    EXPECT_EQ(progress, (std::vector<int>{50, 100, 100}));
    EXPECT_EQ(carry, "");
}

TEST(AuthoringParser, UnfinishedLineWaitsWhileTheToolRuns)
{
    const AuthoringOutputParser parser(kTool, kT, 2);
    std::string carry;
    std::vector<int> progress;
    const std::string chunk = "STAT: Processing " + kT + "0.mpg...";
    parser.Feed(carry, chunk.data(), chunk.size(), false, [&](int p) { progress.push_back(p); });
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(carry, chunk);
}

TEST(AuthorCommandLine, FormAndRoundTrip)
{
    EXPECT_EQ(AuthorCommandLine(kTool, "/home/u/work/DVD_DISC1/", kT),
              "\"/opt/tl/dvdauthoring.dll\" -o \"/home/u/work/DVD_DISC1\" -x \"/home/u/work/dvd.xml\"");

    struct Case {
        std::string disc;
        std::string temp;
    };
    const Case cases[] = {
        {"/w/DVD_DISC1", "/w/"},
        {"/a b/&c ü/DVD_DISC2", "/a b/&c ü/"},
        {"/q\"uote/DVD_DISC1", "/q\"uote/"},
        {"/back\\slash\\/DVD_DISC1", "/back\\slash\\/"},
        {"/ends\\\\", "/x\\\"y/"},
        {"/apos'$(x)`;|*/DVD_DISC1", "/apos'$(x)`;|*/"},
    };
    for (const auto& c : cases) {
        const auto args = SplitCommandLine(AuthorCommandLine("/opt/t l/dvdauthoring.dll", c.disc, c.temp));
        EXPECT_EQ(args, (std::vector<std::string>{"/opt/t l/dvdauthoring.dll", "-o", c.disc, "-x", c.temp + "dvd.xml"}))
            << c.disc;
    }
}
