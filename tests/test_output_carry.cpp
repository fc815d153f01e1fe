#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transcode/OutputCarry.h"

namespace {

using Lines = std::vector<std::string>;

struct Chunk {
    std::string bytes;
    bool processEnded = false;
};

struct CarryCase {
    const char* name;
    std::vector<Chunk> chunks;
    // lines handed on after each chunk, and the carry after the last one
    std::vector<Lines> linesPerChunk;
    std::string carryAfter;
};

TEST(AssembleOutputLines, EdgeCases)
{
    using namespace std::string_literals;
    const std::vector<CarryCase> cases = {
        {"split line joins when its break arrives", {{"abc"}, {"def\r\n"}}, {{}, {"abcdef"}}, ""},
        {"two lines at once, third waits", {{"a\r\nb\r\nc"}, {"\r\n"}}, {{"a", "b"}, {"c"}}, ""},
        {"one line at once, rest kept", {{"a\r\nb"}}, {{"a"}}, "b"},
        {"single word kept", {{"a"}}, {{}}, "a"},
        {"zero byte ends the text", {{"ab\0cd\r\n"s}}, {{}}, "ab"},
        {"zero byte first", {{"\0x\r\n"s}}, {{}}, ""},
        {"lone LF and lone CR become line breaks", {{"a\nb\rc\r\n"}}, {{"a", "b", "c"}}, ""},
        {"blank lines are handed on", {{"a\r\n\r\n  \r\nb\r\n"}}, {{"a", "", "  ", "b"}}, ""},
        {"CR at the end of one chunk and LF at the start of the next",
         {{"a\r"}, {"\nb\r\n"}},
         {{"a"}, {"", "b"}},
         ""},
        {"after the end nothing is carried", {{"x", true}}, {{"x"}}, ""},
        {"carry comes in front after the end", {{"ab"}, {"c\r\nd", true}}, {{}, {"abc", "d"}}, ""},
        {"end with trailing break gives no empty line", {{"a\r\n", true}}, {{"a"}}, ""},
        {"empty chunk keeps the carry", {{"ab"}, {""}}, {{}, {}}, "ab"},
        {"carry stays when read before the end", {{"x"}}, {{}}, "x"},
    };
    for (const CarryCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string carry;
        ASSERT_EQ(c.chunks.size(), c.linesPerChunk.size());
        for (std::size_t k = 0; k < c.chunks.size(); ++k) {
            Lines got;
            tl::AssembleOutputLines(carry, c.chunks[k].bytes.data(), c.chunks[k].bytes.size(), c.chunks[k].processEnded,
                                    [&](const std::string& line) { got.push_back(line); });
            EXPECT_EQ(got, c.linesPerChunk[k]) << "chunk " << k;
        }
        EXPECT_EQ(carry, c.carryAfter);
    }
}

TEST(AssembleOutputLines, ByteCountLimitsTheChunk)
{
    std::string carry;
    Lines got;
    const char bytes[] = "one\r\ntwo\r\nthree\r\n";
    tl::AssembleOutputLines(carry, bytes, 5, false, [&](const std::string& line) { got.push_back(line); });
    EXPECT_EQ(got, Lines{"one"});
    EXPECT_EQ(carry, "");
}

} // namespace
