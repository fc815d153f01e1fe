// The transcoder report rules, line by line.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "transcode/TranscodeParser.h"

using namespace tl;

namespace {

struct BetweenCase {
    const char* line;
    const char* a;
    const char* b;
    const char* expected;
};

TEST(TextBetween, Table)
{
    const BetweenCase cases[] = {
        {"Input #0, avi, from '/v/a.avi':", "from '", "':", "/v/a.avi"},
        {"Input #0, avi, from ' /v/a b.avi ':", "from '", "':", "/v/a b.avi"},  // trimmed, inner blank kept
        {"frame=  12 q=2.0 size= 10kB time=45.25 bitrate= 1.0kbits/s", " time=", " ", "45.25"},
        {"frame=  12 time=45.25", " time=", " ", ""},                           // no end marker
        {"Input #0, avi, from '':", "from '", "':", ""},                        // B searched one past A's end
        {"abcdef", "xyz", "e", "cd"},  // A missing: taken as if A ended just before position len(A)
        {"", "from '", "':", ""},
        {"time=1 ", "time=", " ", "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextBetween(c.line, c.a, c.b), c.expected) << c.line;
}

TEST(ClockToMs, Table)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"00:01:30.50", 90500},
        {"01:00:00.00", 3600000},
        {"1:2:3.4", 3723400},
        {"00:00:00.0005", 1},        // seconds rounded to the millisecond
        {"", 0},
        {"00:01", 60000},            // missing seconds count 0
        {"xx:01:02.5", 62500},       // a bad part counts 0
        {"00:aa:02.5", 2500},
        {"00:01:bad", 60000},
        {"N/A", 0},
        {"596:31:23.648", INT32_MIN},  // wraps like a signed 32-bit counter
    };
    for (const auto& [clock, ms] : cases)
        EXPECT_EQ(ClockToMs(clock), ms) << clock;
}

TEST(ReportLines, DurationNeedsTwoLeadingBlanks)
{
    EXPECT_EQ(DurationMsFromLine("  Duration: 00:01:30.50, start: 0.000000, bitrate: 1200 kb/s"), 90500);
    EXPECT_EQ(DurationMsFromLine(" Duration: 00:01:30.50, start: 0.000000, bitrate: 1200 kb/s"), std::nullopt);
    EXPECT_EQ(DurationMsFromLine("  Duration: N/A, bitrate: N/A"), std::nullopt);
    // No comma: the value is empty, which reads as 0.
    EXPECT_EQ(DurationMsFromLine("  Duration: 00:01:30.50"), 0);
}

TEST(ReportLines, Position)
{
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"frame=  100 q=3.0 size=  2048kB time=45.25 bitrate=1200.0kbits/s", 45250},
        {"size=  2048kB time=10000000000.0 bitrate=1200.0kbits/s", 0},   // "no position yet"
        {"size=  2048kB time=N/A bitrate=N/A", std::nullopt},
        {"size=  2048kB time=00:00:45.25 bitrate=1200.0kbits/s", std::nullopt},  // not a number: unchanged
        {"size=  2048kB time=45.25", std::nullopt},                              // no blank after the value
        {"frame=100 xtime=45.25 bitrate=", std::nullopt},                        // needs the blank before time=
        {"size= 1kB time=0.0015 bitrate=", 2},
        {"size= 1kB time=99999999999.0 bitrate=", 0},                            // beyond 32 bits
    };
    for (const auto& [line, ms] : cases)
        EXPECT_EQ(PositionMsFromLine(line), ms) << line;
}

TEST(ReportLines, InputName)
{
    EXPECT_EQ(InputNameFromLine("Input #0, avi, from '/v/clip.avi':"), "/v/clip.avi");
    EXPECT_EQ(InputNameFromLine("Input #0, avs, from 'N/A':"), std::nullopt);
    EXPECT_EQ(InputNameFromLine("Input #1, avi, from '/v/clip.avi':"), std::nullopt);
    EXPECT_EQ(InputNameFromLine("Input #0, avi"), "");
}

TEST(ReportLines, PercentFromDurationAndPosition)
{
    const auto duration = DurationMsFromLine("  Duration: 00:01:30.50, start: 0.000000, bitrate: 1200 kb/s");
    const auto position = PositionMsFromLine("frame= 9 size= 1kB time=45.25 bitrate=");
    ASSERT_TRUE(duration && position);
    EXPECT_EQ(PercentOf(*position, *duration), 50);
    EXPECT_EQ(PercentOf(200, 1000), 20);
    EXPECT_EQ(PercentOf(1500, 1000), 100);  // capped
    EXPECT_EQ(PercentOf(5, 1000), 1);       // 0.5 rounds up
}

struct ErrorCase {
    const char* line;
    const char* previous;
    bool error;
};

TEST(IsErrorLine, Rules)
{
    const char* mapping = "  Stream #0.0 -> #0.0";
    const ErrorCase cases[] = {
        // rules 1-3: anywhere in the line
        {"/v/a.avi: No audio or video streams available", "", true},
        {"/v/a.avi: I/O error occured", "", true},
        {"Could not open '/t/0.mpg'", "", true},
        {"/v/a.avi: i/o error occured", "", false},  // letter case counts
        // rule 4: lines beginning with Error
        {"Error opening output file /t/0.mpg", "", true},
        {"Error", "", true},
        {"Error while decoding stream #0.1", "", false},
        {"error opening output file", "", false},
        {" Error opening output file", "", false},
        // rule 5: the first message after a mapping line
        {"Press [q] to stop encoding", mapping, true},
        {"Error while decoding stream #0.1", mapping, true},  // rule 4 passes it on to rule 5
        {"[mpeg2video @ 0x55d0] too many threads", mapping, false},
        {"[mpeg2video] too many threads", mapping, true},       // bracket without the at sign
        {"x [a @ b]", mapping, true},                           // the at sign but no leading bracket
        {"frame=   10 q=2.0 size=     12kB time=0.40 bitrate=", mapping, false},
        {"  Stream #0.1 -> #0.1", mapping, false},
        {"Press [q] to stop encoding", "  Stream #0.0 #0.0", false},  // no arrow: not a mapping line
        {"Press [q] to stop encoding", "Output #0 -> here", false},   // arrow without Stream
        {"Press [q] to stop encoding", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsErrorLine(c.line, c.previous), c.error) << c.line << " after " << c.previous;
}

TEST(FormatDuration, Table)
{
    constexpr double kSecond = 1.0 / 86400.0;
    const std::pair<double, const char*> cases[] = {
        {0.0, "0:00:00"},
        {59 * kSecond, "0:00:59"},
        {(3600 + 2 * 60 + 3) * kSecond, "1:02:03"},
        {(23 * 3600 + 59 * 60 + 59) * kSecond, "23:59:59"},
        {1.0, "0:00:00"},                               // whole days are not shown
        {1.0 + (5 * 3600 + 6) * kSecond, "5:00:06"},
        {-(61 * kSecond), "0:01:01"},                   // negative: by magnitude
        {59.9994 * kSecond, "0:00:59"},                 // seconds are not rounded up
    };
    for (const auto& [days, text] : cases)
        EXPECT_EQ(FormatDuration(days), text) << days;
}

TEST(FileNames, NamePart)
{
    EXPECT_EQ(FileNamePart("/v/d/clip.avi"), "clip.avi");
    EXPECT_EQ(FileNamePart("clip.avi"), "clip.avi");
}

} // namespace
