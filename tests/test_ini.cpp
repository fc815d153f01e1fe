// Profile INI reading and writing: lookup rules, byte-exact edits, broken files
// and failed writes.
#include "app/Error.h"
#include "platform/IniFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tl::test::TempFolder;

namespace {

// A literal with its NUL bytes kept.
template <std::size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

// Whether a folder with mode 0555 really refuses new files (not so for root).
bool ReadOnlyFoldersEnforced()
{
    TempFolder probe("tl-ini-probe");
    fs::permissions(probe.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    std::ofstream out(probe.Path() / "x");
    const bool refused = !out.is_open();
    fs::permissions(probe.Path(), fs::perms::owner_all);
    return refused;
}

struct ReadCase {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    std::string expected;  // with default "<default>"
};

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsValueLikeTheProfileRoutines)
{
    const auto& c = GetParam();
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini", c.content);
    EXPECT_EQ(tl::IniReadString(file, c.section, c.key, "<default>"), c.expected);
    // the in-memory document answers the same
    EXPECT_EQ(tl::IniDocument(file).ReadString(c.section, c.key, "<default>"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    ::testing::Values(
        ReadCase{"SectionAndKeyIgnoreCase", "[Video]\nQuality=6400\n", "vIDEO", "QUALITY", "6400"},
        ReadCase{"BlanksTrimmed", "  [ Video ]  \n  Quality  =  high value \t\n", "Video", "Quality",
                 "high value"},
        ReadCase{"QuotesStripped", "[S]\nK=  \"  padded  \"  \n", "S", "K", "  padded  "},
        ReadCase{"UnmatchedQuoteKept", "[S]\nK=\"open\n", "S", "K", "\"open"},
        ReadCase{"LoneQuoteKept", "[S]\nK=\"\n", "S", "K", "\""},
        ReadCase{"EmptyValueIsNotDefault", "[S]\nK=\n", "S", "K", ""},
        ReadCase{"EqualsInsideValue", "[S]\nFilter=Video (*.avi)=*.avi\n", "S", "Filter", "Video (*.avi)=*.avi"},
        ReadCase{"MissingKey", "[S]\nOther=1\n", "S", "K", "<default>"},
        ReadCase{"MissingSection", "[T]\nK=1\n", "S", "K", "<default>"},
        ReadCase{"KeyOfOtherSectionNotSeen", "[S]\nA=1\n[T]\nK=2\n", "S", "K", "<default>"},
        ReadCase{"KeyBeforeAnySectionNotSeen", "K=0\n[S]\nA=1\n", "S", "K", "<default>"},
        ReadCase{"FirstKeyWins", "[S]\nK=first\nK=second\n", "S", "K", "first"},
        ReadCase{"FirstSectionWins", "[S]\nA=1\n[s]\nK=later\n", "S", "K", "<default>"},
        ReadCase{"CommentIgnored", "[S]\n;K=commented\n  ; K=also\nK=real\n", "S", "K", "real"},
        ReadCase{"LineWithoutEqualsIgnored", "[S]\nK\nK=value\n", "S", "K", "value"},
        ReadCase{"CrLfFile", "[S]\r\nK=value\r\nL=2\r\n", "S", "K", "value"},
        ReadCase{"ByteOrderMarkSkipped", "\xEF\xBB\xBF[S]\nK=bom\n", "S", "K", "bom"},
        ReadCase{"LastLineWithoutLineEnd", "[S]\nK=tail", "S", "K", "tail"},
        ReadCase{"HeaderWithoutBracket", "[S\nK=open header\n", "S", "K", "open header"},
        ReadCase{"EmptyFile", "", "S", "K", "<default>"},
        ReadCase{"NulBytesAreText", Bytes("[S]\nJ=\0\0\n\x01\xff[S]\nK=after\n"), "S", "K", "after"},
        ReadCase{"NulInsideValueKept", Bytes("[S]\nK=a\0b\n"), "S", "K", Bytes("a\0b")}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(IniReadLimits, ValuesAreCutTo2047Characters)
{
    TempFolder tmp;
    const std::string longValue(3000, 'x');
    const std::string file = tmp.Write("a.ini", "[S]\nK=" + longValue + "\n");
    EXPECT_EQ(tl::IniReadString(file, "S", "K", ""), std::string(tl::kIniMaxValueLength, 'x'));
}

TEST(IniReadLimits, MissingFileFolderAndEmptyNameGiveDefault)
{
    TempFolder tmp;
    EXPECT_EQ(tl::IniReadString(tmp.Dir() + "none.ini", "S", "K", "d"), "d");
    EXPECT_EQ(tl::IniReadString(tmp.Dir(), "S", "K", "d"), "d");
    EXPECT_EQ(tl::IniReadString("", "S", "K", "d"), "d");
    EXPECT_TRUE(tl::IniReadSectionLines(tmp.Dir() + "none.ini", "S").empty());
}

TEST(IniReadLimits, RandomBinaryBytesNeverBreakReadOrWrite)
{
    TempFolder tmp;
    std::string bytes;
    unsigned state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    const std::string file = tmp.Write("bin.ini", bytes);
    (void)tl::IniReadString(file, "S", "K", "");
    (void)tl::IniReadSectionLines(file, "S");
    tl::IniWriteString(file, "Fresh", "Key", "value");
    EXPECT_EQ(tl::IniReadString(file, "Fresh", "Key", ""), "value");
    // the bytes that were there are still there, in front
    EXPECT_EQ(TempFolder::Read(file).substr(0, bytes.size()), bytes);
}

struct IntCase {
    const char* stored;
    long long expected;  // default is -99
};

class IniReadInteger : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniReadInteger, ParsesDecimalOrGivesDefault)
{
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini", std::string("[S]\nK=") + GetParam().stored + "\n");
    EXPECT_EQ(tl::IniReadInteger(file, "S", "K", -99), GetParam().expected) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniReadInteger,
                         ::testing::Values(IntCase{"42", 42}, IntCase{"-7", -7}, IntCase{"+5", 5},
                                           IntCase{"  12  ", 12}, IntCase{"\"8\"", 8}, IntCase{"", -99},
                                           IntCase{"abc", -99}, IntCase{"12abc", -99}, IntCase{"1 2", -99},
                                           IntCase{"+-3", -99}, IntCase{"+", -99}, IntCase{"-", -99},
                                           IntCase{"99999999999999999999", -99}, IntCase{"4294967297", 4294967297LL}));

TEST(IniReadBool, NonZeroIsTrueAndJunkGivesDefault)
{
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini", "[S]\nOne=1\nZero=0\nTwo=2\nJunk=yes\n");
    EXPECT_TRUE(tl::IniReadBool(file, "S", "One", false));
    EXPECT_FALSE(tl::IniReadBool(file, "S", "Zero", true));
    EXPECT_TRUE(tl::IniReadBool(file, "S", "Two", false));
    EXPECT_TRUE(tl::IniReadBool(file, "S", "Junk", true));
    EXPECT_FALSE(tl::IniReadBool(file, "S", "Junk", false));
    EXPECT_TRUE(tl::IniReadBool(file, "S", "Missing", true));
}

TEST(IniReadSectionLines, KeyLinesOfFirstMatchingSectionInFileOrder)
{
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini",
                                       "[TLAPP_Filters]\r\n"
                                       "; comment\r\n"
                                       "\r\n"
                                       " Video files = *.avi;*.mpg \r\n"
                                       "no equals sign\r\n"
                                       "All=*.*\r\n"
                                       "[Other]\r\n"
                                       "X=1\r\n"
                                       "[tlapp_filters]\r\n"
                                       "Late=1\r\n");
    const std::vector<std::string> expected{"Video files=*.avi;*.mpg", "All=*.*"};
    EXPECT_EQ(tl::IniReadSectionLines(file, "tlapp_FILTERS"), expected);
    EXPECT_EQ(tl::IniDocument(file).ReadSectionLines("TLAPP_Filters"), expected);
    EXPECT_TRUE(tl::IniReadSectionLines(file, "Missing").empty());
}

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyTheOneKey)
{
    const auto& c = GetParam();
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini", c.before);
    tl::IniWriteString(file, c.section, c.key, c.value);
    EXPECT_EQ(TempFolder::Read(file), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    ::testing::Values(
        WriteCase{"ReplaceKeepsEverythingElse",
                  "; settings\n\n[A]\nX=1\n\n[B]\n; note\nKey=old\nY=2\n\n[C]\nKey=other\n", "b", "KEY", "new",
                  "; settings\n\n[A]\nX=1\n\n[B]\n; note\nKey=new\nY=2\n\n[C]\nKey=other\n"},
        WriteCase{"ReplaceKeepsKeySpelling", "[S]\n  MyKey = old value  \n", "S", "mykey", "v",
                  "[S]\n  MyKey = v\n"},
        WriteCase{"ReplaceEmptyValue", "[S]\nK=\nL=1\n", "S", "K", "v", "[S]\nK=v\nL=1\n"},
        WriteCase{"ReplaceOnlyFirstOfDuplicates", "[S]\nK=1\nK=2\n", "S", "K", "3", "[S]\nK=3\nK=2\n"},
        WriteCase{"AddBeforeTrailingBlankLines", "[A]\nX=1\n\n\n[B]\nY=2\n", "A", "Z", "3",
                  "[A]\nX=1\nZ=3\n\n\n[B]\nY=2\n"},
        WriteCase{"AddAfterCommentAtSectionEnd", "[A]\nX=1\n; end of A\n[B]\n", "A", "Z", "3",
                  "[A]\nX=1\n; end of A\nZ=3\n[B]\n"},
        WriteCase{"AddToEmptySection", "[A]\n[B]\nY=2\n", "A", "Z", "3", "[A]\nZ=3\n[B]\nY=2\n"},
        WriteCase{"AddToLastSectionWithoutLineEnd", "[A]\nX=1", "A", "Z", "3", "[A]\nX=1\nZ=3\n"},
        WriteCase{"AddToFirstOfDuplicateSections", "[A]\nX=1\n[a]\nZ=9\n", "A", "Z", "3",
                  "[A]\nX=1\nZ=3\n[a]\nZ=9\n"},
        WriteCase{"NewSectionAtEnd", "[A]\nX=1\n", "B", "Y", "2", "[A]\nX=1\n[B]\nY=2\n"},
        WriteCase{"NewSectionAfterLineWithoutEnd", "; only a comment", "B", "Y", "2",
                  "; only a comment\r\n[B]\r\nY=2\r\n"},
        WriteCase{"CrLfStaysCrLf", "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n", "A", "Z", "3",
                  "[A]\r\nX=1\r\nZ=3\r\n\r\n[B]\r\nY=2\r\n"},
        WriteCase{"CrLfNewSection", "[A]\r\nX=1\r\n", "B", "Y", "2", "[A]\r\nX=1\r\n[B]\r\nY=2\r\n"},
        WriteCase{"EmptyFileGetsCrLf", "", "S", "K", "v", "[S]\r\nK=v\r\n"},
        WriteCase{"ByteOrderMarkOnly", "\xEF\xBB\xBF", "S", "K", "v", "\xEF\xBB\xBF[S]\r\nK=v\r\n"},
        WriteCase{"LineBreakInValueCannotAddLines", "[S]\nK=1\n", "S", "K", "a\r\n[Evil]\nX=1",
                  "[S]\nK=a\n"},
        WriteCase{"NulBytesAroundSurvive", Bytes("; \0\0\n[S]\nK=1\n\0"), "S", "K", "2",
                  Bytes("; \0\0\n[S]\nK=2\n\0")}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(IniWriteFile, MissingFileIsCreatedWithCrLf)
{
    TempFolder tmp;
    const std::string file = tmp.Dir() + "new.ini";
    tl::IniWriteString(file, "S", "A", "1");
    tl::IniWriteInteger(file, "S", "B", -42);
    tl::IniWriteBool(file, "T", "C", true);
    tl::IniWriteBool(file, "T", "D", false);
    EXPECT_EQ(TempFolder::Read(file), "[S]\r\nA=1\r\nB=-42\r\n[T]\r\nC=1\r\nD=0\r\n");
    EXPECT_EQ(tl::IniReadInteger(file, "s", "b", 0), -42);
}

TEST(IniWriteFile, DocumentWritesManyKeysInOneSave)
{
    TempFolder tmp;
    const std::string file = tmp.Write("lang.ini", "[Other]\nKeep=me\n[Tessaline]\nA=old\n");
    tl::IniDocument doc(file);
    doc.WriteString("Tessaline", "A", "new");
    doc.WriteString("Tessaline", "B", "added");
    EXPECT_EQ(doc.ReadString("Tessaline", "B", ""), "added");
    EXPECT_EQ(TempFolder::Read(file), "[Other]\nKeep=me\n[Tessaline]\nA=old\n");  // not yet saved
    doc.Save();
    EXPECT_EQ(TempFolder::Read(file), "[Other]\nKeep=me\n[Tessaline]\nA=new\nB=added\n");
}

TEST(IniWriteFile, WritesThroughSymbolicLinkAndKeepsIt)
{
    TempFolder tmp;
    const std::string real = tmp.Write("real.ini", "[S]\nK=1\n");
    const fs::path link = tmp.Path() / "link.ini";
    fs::create_symlink(real, link);
    tl::IniWriteString(link.string(), "S", "K", "2");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(TempFolder::Read(real), "[S]\nK=2\n");
}

TEST(IniWriteFailure, MissingFolderRaisesUnableToWrite)
{
    TempFolder tmp;
    const std::string file = tmp.Dir() + "no/such/folder/a.ini";
    try {
        tl::IniWriteString(file, "S", "K", "v");
        FAIL() << "no error raised";
    } catch (const tl::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
    }
    EXPECT_FALSE(fs::exists(tmp.Path() / "no"));
}

TEST(IniWriteFailure, FolderInPlaceOfFileRaises)
{
    TempFolder tmp;
    fs::create_directory(tmp.Path() / "a.ini");
    const std::string file = tmp.Dir() + "a.ini";
    EXPECT_THROW(tl::IniWriteString(file, "S", "K", "v"), tl::Error);
    EXPECT_TRUE(fs::is_directory(file));
}

TEST(IniWriteFailure, ReadOnlyFileStaysUntouched)
{
    if (!ReadOnlyFoldersEnforced())
        GTEST_SKIP() << "file permissions are not enforced for this user (root?)";
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini", "[S]\nK=old\n");
    fs::permissions(file, fs::perms::owner_read);
    try {
        tl::IniWriteString(file, "S", "K", "new");
        FAIL() << "no error raised";
    } catch (const tl::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
    }
    EXPECT_EQ(TempFolder::Read(file), "[S]\nK=old\n");
}

TEST(IniWriteFailure, ReadOnlyFolderRefusesNewFile)
{
    if (!ReadOnlyFoldersEnforced())
        GTEST_SKIP() << "folder permissions are not enforced for this user (root?)";
    TempFolder tmp;
    fs::permissions(tmp.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    const std::string file = tmp.Dir() + "a.ini";
    EXPECT_THROW(tl::IniWriteString(file, "S", "K", "v"), tl::Error);
    fs::permissions(tmp.Path(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(file));
}

TEST(IniWriteFailure, ReadOnlyFolderWritableFileIsWrittenInPlace)
{
    if (!ReadOnlyFoldersEnforced())
        GTEST_SKIP() << "folder permissions are not enforced for this user (root?)";
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini", "; keep\n[S]\nK=old\n");
    fs::permissions(tmp.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    tl::IniWriteString(file, "S", "K", "new");
    fs::permissions(tmp.Path(), fs::perms::owner_all);
    EXPECT_EQ(TempFolder::Read(file), "; keep\n[S]\nK=new\n");
    // no temporary file left behind
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 1);
}

TEST(IniWriteFile, ReplacingKeepsFilePermissionsAndLeavesNoTemporaryFile)
{
    TempFolder tmp;
    const std::string file = tmp.Write("a.ini", "[S]\nK=1\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    tl::IniWriteString(file, "S", "K", "2");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 1);
}

} // namespace
