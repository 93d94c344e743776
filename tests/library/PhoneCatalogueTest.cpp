#include "PhoneCatalogue.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::TTempDir;
using test::WriteFile;

const char *const kDamaged = "Phone list file is damaged.";
const char *const kFailed = "Unexpected error occurred during application initialization.";

class PhoneCatalogueTest : public ::testing::Test {
protected:
    TPhoneListResult Load(const std::string &content)
    {
        WriteFile(Dir / kPhoneListFileName, content);
        return LoadAgain();
    }
    TPhoneListResult LoadAgain() { return LoadPhoneList(Dir.Path(), Xml, Prompts, Makes); }

    TTempDir Dir;
    TXMLSource Xml;
    TScriptedPromptService Prompts;
    TPhoneMakes Makes;
};

TEST_F(PhoneCatalogueTest, ReadsMakesAndModelsInFileOrder)
{
    ASSERT_EQ(Load(R"(<?xml version="1.0"?>
<phoneslist>
  <make name="Nokia">
    <model name="3310" screenwidth="84" screenheight="48"/>
    <model name="7650" screenwidth="176" screenheight="208"/>
  </make>
  <make name="Siemens">
    <model name="C55" screenwidth="101" screenheight="64"/>
  </make>
</phoneslist>)"),
              TPhoneListResult::Loaded);
    EXPECT_TRUE(Prompts.Texts().empty());
    ASSERT_EQ(Makes.size(), 2u);
    EXPECT_EQ(Makes[0].Name, "Nokia");
    ASSERT_EQ(Makes[0].Models.size(), 2u);
    EXPECT_EQ(Makes[0].Models[1].Name, "7650");
    EXPECT_EQ(Makes[0].Models[1].Attributes.ScreenWidth, 176);
    EXPECT_EQ(Makes[0].Models[1].Attributes.ScreenHeight, 208);
    EXPECT_EQ(Makes[1].Name, "Siemens");
    ASSERT_EQ(Makes[1].Models.size(), 1u);
    EXPECT_EQ(Makes[1].Models[0].Attributes.ScreenWidth, 101);
    // The shared document is left closed for the next reader.
    EXPECT_FALSE(Xml.Active());
    EXPECT_TRUE(Xml.FileName().empty());
}

struct SizeCase {
    const char *Attributes;
    std::int32_t Width;
    std::int32_t Height;
};

class PhoneCatalogueSizeTest : public PhoneCatalogueTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PhoneCatalogueSizeTest, EachSizeFallsBackTo128ByItself)
{
    const SizeCase &c = GetParam();
    ASSERT_EQ(
        Load(std::string("<phoneslist><make name=\"M\"><model name=\"X\" ") + c.Attributes + "/></make></phoneslist>"),
        TPhoneListResult::Loaded);
    ASSERT_EQ(Makes.size(), 1u);
    ASSERT_EQ(Makes[0].Models.size(), 1u);
    EXPECT_EQ(Makes[0].Models[0].Attributes.ScreenWidth, c.Width);
    EXPECT_EQ(Makes[0].Models[0].Attributes.ScreenHeight, c.Height);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PhoneCatalogueSizeTest,
    ::testing::Values(SizeCase{R"(screenwidth="abc" screenheight="200")", 128, 200}, SizeCase{"", 128, 128},
                      SizeCase{R"(screenwidth="" screenheight="")", 128, 128},
                      SizeCase{R"(screenwidth="96" screenheight="x")", 96, 128},
                      // Attribute names are exact: these are missing.
                      SizeCase{R"(ScreenWidth="96" SCREENHEIGHT="65")", 128, 128},
                      // Out-of-range sizes are kept; the size controls bring them into range.
                      SizeCase{R"(screenwidth="1000" screenheight="8")", 1000, 8},
                      SizeCase{R"(screenwidth="-5" screenheight="0")", -5, 0},
                      SizeCase{R"(screenwidth=" 101" screenheight="80 ")", 101, 128},
                      SizeCase{R"(screenwidth="99999999999" screenheight="2147483647")", 128, 2147483647},
                      SizeCase{R"(screenwidth="$80" screenheight="12.5")", 128, 128}));

TEST_F(PhoneCatalogueTest, ElementNamesIgnoreCaseAndOtherNodesAreSkipped)
{
    ASSERT_EQ(Load(R"(<PhonesList>
  text between
  <model name="stray" screenwidth="1" screenheight="1"/>
  <!-- a comment between makes -->
  <MAKE name="A">
    <Model name="a1" screenwidth="10" screenheight="20"/>
    <make name="nested"><model name="n1"/></make>
    <other name="o"/>
    <?pi data?>
  </MAKE>
  <maker name="not a make"/>
  <make name="B"/>
</PhonesList>)"),
              TPhoneListResult::Loaded);
    ASSERT_EQ(Makes.size(), 2u);
    EXPECT_EQ(Makes[0].Name, "A");
    ASSERT_EQ(Makes[0].Models.size(), 1u);
    EXPECT_EQ(Makes[0].Models[0].Name, "a1");
    // A make without models is still listed.
    EXPECT_EQ(Makes[1].Name, "B");
    EXPECT_TRUE(Makes[1].Models.empty());
}

TEST_F(PhoneCatalogueTest, MissingNamesAreEmptyAndDuplicatesKeepTheirPlaces)
{
    ASSERT_EQ(Load(R"(<phoneslist>
  <make Name="wrong case"><model NAME="m"/></make>
  <make name="Same"><model name="first"/></make>
  <make name="Same"><model name="second"/><model name="second"/></make>
</phoneslist>)"),
              TPhoneListResult::Loaded);
    ASSERT_EQ(Makes.size(), 3u);
    EXPECT_EQ(Makes[0].Name, "");
    ASSERT_EQ(Makes[0].Models.size(), 1u);
    EXPECT_EQ(Makes[0].Models[0].Name, "");
    EXPECT_EQ(Makes[1].Name, "Same");
    EXPECT_EQ(Makes[1].Models[0].Name, "first");
    EXPECT_EQ(Makes[2].Name, "Same");
    ASSERT_EQ(Makes[2].Models.size(), 2u);
    EXPECT_EQ(Makes[2].Models[1].Name, "second");
}

TEST_F(PhoneCatalogueTest, RootWithoutChildrenIsAnEmptyCatalogue)
{
    Makes.push_back({"left over", {}});
    EXPECT_EQ(Load("<phoneslist/>"), TPhoneListResult::Loaded);
    EXPECT_TRUE(Makes.empty());
    EXPECT_TRUE(Prompts.Texts().empty());
}

TEST_F(PhoneCatalogueTest, WrongRootIsReportedAsDamagedAndLeavesNoMakes)
{
    Makes.push_back({"left over", {}});
    EXPECT_EQ(Load(R"(<phones><make name="A"><model name="a"/></make></phones>)"), TPhoneListResult::Damaged);
    EXPECT_TRUE(Makes.empty());
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kDamaged});
    ASSERT_EQ(Prompts.Prompts().size(), 1u);
    EXPECT_EQ(Prompts.Prompts()[0].Caption, "Error");
    EXPECT_EQ(Prompts.Prompts()[0].Icon, TPromptIcon::Error);
    EXPECT_FALSE(Xml.Active());
    EXPECT_TRUE(Xml.FileName().empty());
}

struct BadFileCase {
    const char *Name;
    const char *Content; // nullptr: no file at all
};

class PhoneCatalogueBadFileTest : public PhoneCatalogueTest, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(PhoneCatalogueBadFileTest, UnreadableFileFailsStartUp)
{
    Makes.push_back({"left over", {}});
    if (GetParam().Content)
        WriteFile(Dir / kPhoneListFileName, GetParam().Content);
    EXPECT_EQ(LoadAgain(), TPhoneListResult::Failed);
    EXPECT_TRUE(Makes.empty());
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kFailed});
    EXPECT_FALSE(Xml.Active());
    EXPECT_TRUE(Xml.FileName().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, PhoneCatalogueBadFileTest,
                         ::testing::Values(BadFileCase{"Missing", nullptr}, BadFileCase{"Empty", ""},
                                           BadFileCase{"Truncated", "<phoneslist><make name=\"A\">"},
                                           BadFileCase{"NotXml", "Nokia 3310 84x48\n"},
                                           BadFileCase{"BinaryJunk", "\x01\x02\xff\xfe<\x7f>"}),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST_F(PhoneCatalogueTest, FolderInPlaceOfTheFileFails)
{
    std::filesystem::create_directory(Dir / kPhoneListFileName);
    EXPECT_EQ(LoadAgain(), TPhoneListResult::Failed);
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kFailed});
}

TEST_F(PhoneCatalogueTest, OversizedFileIsRefused)
{
    Xml.SetMaxFileSize(64);
    EXPECT_EQ(Load("<phoneslist><make name=\"" + std::string(100, 'A') + "\"/></phoneslist>"),
              TPhoneListResult::Failed);
    EXPECT_TRUE(Makes.empty());
}

TEST_F(PhoneCatalogueTest, EntitiesAndDeepNestingDoNoHarm)
{
    // Entity declarations are not expanded, so the "billion laughs" stays small text.
    std::string content = R"(<?xml version="1.0"?>
<!DOCTYPE phoneslist [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>
<phoneslist><make name="&b;"><model name="x" screenwidth="1" screenheight="2">)";
    for (int i = 0; i < 100000; ++i)
        content += "<d>";
    for (int i = 0; i < 100000; ++i)
        content += "</d>";
    content += "</model></make></phoneslist>";
    ASSERT_EQ(Load(content), TPhoneListResult::Loaded);
    ASSERT_EQ(Makes.size(), 1u);
    EXPECT_LE(Makes[0].Name.size(), 4u);
    ASSERT_EQ(Makes[0].Models.size(), 1u);
    EXPECT_EQ(Makes[0].Models[0].Attributes.ScreenHeight, 2);
}

TEST_F(PhoneCatalogueTest, ReadsAgainAfterAFailure)
{
    EXPECT_EQ(LoadAgain(), TPhoneListResult::Failed);
    EXPECT_EQ(Load("<phoneslist><make name=\"A\"/></phoneslist>"), TPhoneListResult::Loaded);
    EXPECT_EQ(Makes.size(), 1u);
}

TEST(ShippedPhoneList, IsACatalogueOfRealPhones)
{
    const std::filesystem::path data = std::filesystem::path(__FILE__).parent_path() / "../../data";
    TXMLSource xml;
    TScriptedPromptService prompts;
    TPhoneMakes makes;
    ASSERT_EQ(LoadPhoneList(data.string() + "/", xml, prompts, makes), TPhoneListResult::Loaded);
    EXPECT_TRUE(prompts.Texts().empty());
    EXPECT_GE(makes.size(), 8u);
    std::size_t models = 0;
    std::set<std::string> makeNames;
    for (const TPhoneMake &make : makes) {
        EXPECT_FALSE(make.Name.empty());
        EXPECT_TRUE(makeNames.insert(make.Name).second) << make.Name;
        EXPECT_FALSE(make.Models.empty()) << make.Name;
        std::set<std::string> names;
        for (const TPhoneModel &model : make.Models) {
            ++models;
            EXPECT_FALSE(model.Name.empty()) << make.Name;
            EXPECT_TRUE(names.insert(model.Name).second) << make.Name << " " << model.Name;
            EXPECT_GT(model.Attributes.ScreenWidth, 0) << make.Name << " " << model.Name;
            EXPECT_GT(model.Attributes.ScreenHeight, 0) << make.Name << " " << model.Name;
        }
    }
    EXPECT_GE(models, 60u);
}

} // namespace
} // namespace vantorel
