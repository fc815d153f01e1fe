// The built-in catalogue: its shape, the English texts other parts of the
// program compare or format, and the access rules.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/Error.h"
#include "lang/Catalogue.h"

namespace {

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { tl::ResetCatalogue(); }
    void TearDown() override { tl::ResetCatalogue(); }
};

TEST_F(CatalogueTest, HasDistinctKeysWithEnglishTexts)
{
    std::set<std::string> keys;
    for (std::size_t i = 0; i < tl::kCatalogueSize; ++i) {
        const auto& entry = tl::CatalogueEntryAt(i);
        ASSERT_NE(entry.key, nullptr);
        EXPECT_TRUE(keys.insert(entry.key).second) << "duplicate key " << entry.key;
        EXPECT_NE(std::string(entry.english), "") << entry.key;
        EXPECT_EQ(tl::CatalogueIndex(entry.key), i) << entry.key;
        EXPECT_EQ(tl::CatalogueText(i), entry.english) << entry.key;
    }
    EXPECT_EQ(keys.size(), 366u);
}

// Positions in the fixed order: language files are read and written in it.
TEST_F(CatalogueTest, KeysSitAtTheirPlaceInTheOrder)
{
    const struct {
        std::size_t index;
        const char* key;
    } cases[] = {
        {0, "STR_OK"},
        {9, "STR_MAIN_mnuFile"},
        {36, "STR_MAIN_lblShowLog"},
        {69, "STR_MAIN_Burning"},
        {170, "STR_SETTINGS_Title"},
        {185, "IDS_main_MediaType_CDROM"},
        {323, "IDS_ERASEDISC_LABEL_Status_StartErase"},
        {365, "IDS_Main_MSG_Faile"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(tl::CatalogueEntryAt(c.index).key, c.key) << c.index;
}

// Texts with line breaks, quotes, placeholders or odd spelling, exactly as shown to the user.
TEST_F(CatalogueTest, EnglishTextsAreTheShownOnes)
{
    const struct {
        const char* key;
        const char* english;
    } cases[] = {
        {"STR_MAIN_AddingError1", "An error occurred while adding file:\r\n\r\nCan not get file \"%s\" complete name."},
        {"STR_MAIN_AddingError4", "An error occurred while adding file:\r\n\r\nFile\"%s\" has no audio and video."},
        {"STR_MAIN_NoEncoder", "The file \"%s\" couldn't be found."},
        {"STR_MAIN_DirEmpty", "Temp dir is empty. You must choose an temp folder first!"},
        {"STR_MAIN_mnuSettings", "Tools"},
        {"STR_MAIN_mniSettings_Lanuage", "Language"},
        {"STR_PROCESS_lblWorking", "Working on file %d of %d: %s"},
        {"STR_PROCESS_BurnDVDStep1", "Burn DVD Step 1 - Converting files ..."},
        {"STR_PROCESSOTHER_BuildXMLInfo", "Buliding menu style XML files..., please wait..."},
        {"STR_MAIN_Burning", "Burning, please wait ..."},
        {"IDS_Main_DVDLabel", "My DVD"},
        {"IDS_Main_MSG_DVDSize", "Need Space: %0.2f MB"},
        {"IDS_Main_SetSpeedSuccess", "Setting speed is successful: %d kb/sec"},
        {"IDS_ERASEDISC_MSG_TimeHint", "It may take few minutes to close disc, please wait...."},
        {"IDS_Burn_DiscType_HDDVDRW", "HD-DVD Rewritable"},
        {"STR_AllFiles", "All Files"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tl::Text(c.key), c.english) << c.key;
}

TEST_F(CatalogueTest, UnknownKeysAndIndexesAreRefused)
{
    EXPECT_THROW(tl::Text("STR_NoSuchKey"), tl::Error);
    EXPECT_THROW(tl::Text("str_ok"), tl::Error);  // keys are exact
    EXPECT_THROW(tl::Text(""), tl::Error);
    EXPECT_EQ(tl::CatalogueIndex("STR_NoSuchKey"), tl::kCatalogueSize);
    EXPECT_THROW(tl::CatalogueEntryAt(tl::kCatalogueSize), tl::Error);
    EXPECT_THROW(tl::CatalogueText(tl::kCatalogueSize), tl::Error);
    EXPECT_THROW(tl::SetCatalogueText(tl::kCatalogueSize, "x"), tl::Error);
}

TEST_F(CatalogueTest, SetTextsShowUntilReset)
{
    const std::size_t add = tl::CatalogueIndex("STR_MAIN_btnAdd");
    const std::string& shown = tl::Text("STR_MAIN_btnAdd");
    tl::SetCatalogueText(add, "Hinzufügen");
    EXPECT_EQ(shown, "Hinzufügen");  // readers holding the text see the change
    EXPECT_EQ(tl::Text("STR_MAIN_btnRemove"), "Remove");
    tl::ResetCatalogue();
    EXPECT_EQ(tl::Text("STR_MAIN_btnAdd"), "Add");
}

} // namespace
