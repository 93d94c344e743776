#include "ServiceParameters.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::TTempDir;
using test::WriteFile;

const char *const kCorrupt = "Parameters file is corrupt.";
const std::string kHost = kDefaultServiceHost;

class ServiceParametersTest : public ::testing::Test {
protected:
    void Load(const std::string &content)
    {
        WriteFile(Dir / kParametersFileName, content);
        LoadAgain();
    }
    void LoadAgain()
    {
        LoadParameters(Dir.Path(), Xml, Prompts, Params);
        EXPECT_FALSE(Xml.Active());
        EXPECT_TRUE(Xml.FileName().empty());
    }
    void ExpectDefaults() const
    {
        EXPECT_EQ(Params.ServiceAddress("uploadhost", "uploadscript"), "http://" + kHost + "/upload.php");
        EXPECT_EQ(Params.ServiceAddress("uploadhost", "memstatscript"), "http://" + kHost + "/memberstatus.php");
        EXPECT_EQ(Params.ServiceAddress("uploadhost", "appverscript"), "http://" + kHost + "/curversion.php");
        EXPECT_EQ(Params.ServiceAddress("sendmailhost", "sendmailscript"), "http://" + kHost + "/sendtofriend.php");
    }

    TTempDir Dir;
    TXMLSource Xml;
    TScriptedPromptService Prompts;
    TParameters Params;
};

TEST(Parameters, SixKeysInTheirOrderWithDefaults)
{
    TParameters params;
    std::vector<std::string> keys;
    for (const auto &[key, holder] : params.Entries())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"uploadhost", "uploadscript", "memstatscript", "appverscript",
                                              "sendmailhost", "sendmailscript"}));
    EXPECT_EQ(params.Value("UploadHost"), kHost);
    EXPECT_EQ(params.Value("SENDMAILSCRIPT"), "/sendtofriend.php");
    EXPECT_EQ(params.Value("nosuchkey"), "");
    params.SetValue("nosuchkey", "x");
    EXPECT_EQ(params.Entries().size(), 6u);
}

// A host we do not own would receive the users' passwords: every fixed name stays on the
// reserved domain, and the page addresses join the parts with nothing in between.
TEST(Parameters, FixedNamesStayOnTheReservedDomain)
{
    struct Case {
        const char *description;
        std::string actual;
        const char *expected;
    } cases[] = {
        {"default host", kDefaultServiceHost, "www.vantorel.example"},
        {"guest WAP host", kGuestWapHost, "wap.vantorel.example"},
        {"WAP host", kWapHost, "m.vantorel.example"},
        {"registration page", ServicePageAddress(kRegisterPage), "http://www.vantorel.example/register.php"},
        {"home page", ServicePageAddress(kHomePage), "http://www.vantorel.example/"},
        {"FAQ page", ServicePageAddress(kFAQPage), "http://www.vantorel.example/faq.php"},
        {"setup file", kSetupFileAddress, "http://www.vantorel.example/download/vantorel-setup.tar.gz"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.description;
    TParameters params;
    EXPECT_EQ(params.Value("uploadhost"), kDefaultServiceHost);
    EXPECT_EQ(params.Value("sendmailhost"), kDefaultServiceHost);
}

TEST_F(ServiceParametersTest, MissingFileKeepsDefaultsSilently)
{
    Params.SetValue("uploadhost", "stale");
    LoadAgain();
    ExpectDefaults();
    EXPECT_TRUE(Prompts.Texts().empty());
}

TEST_F(ServiceParametersTest, BareRootKeepsDefaults)
{
    Load("<parameters/>");
    ExpectDefaults();
    EXPECT_TRUE(Prompts.Texts().empty());
}

TEST_F(ServiceParametersTest, UploadHostAloneMovesTheThreeUploadAddresses)
{
    Load(R"(<Parameters><UploadHost value="127.0.0.1:8080"/></Parameters>)");
    EXPECT_EQ(Params.ServiceAddress("uploadhost", "uploadscript"), "http://127.0.0.1:8080/upload.php");
    EXPECT_EQ(Params.ServiceAddress("uploadhost", "memstatscript"), "http://127.0.0.1:8080/memberstatus.php");
    EXPECT_EQ(Params.ServiceAddress("uploadhost", "appverscript"), "http://127.0.0.1:8080/curversion.php");
    EXPECT_EQ(Params.ServiceAddress("sendmailhost", "sendmailscript"), "http://" + kHost + "/sendtofriend.php");
}

TEST_F(ServiceParametersTest, ValuesAreTakenAsTheyStand)
{
    Load(R"(<parameters>
  <!-- comment -->
  some text
  <uploadscript value="/first.php"/>
  <sendmailscript/>
  <appverscript Value="/ignored.php"/>
  <memstatscript value="no-slash"/>
  <unknown value="x"/>
  <uploadscript value="/second.php"/>
  <group><uploadhost value="nested"/></group>
</parameters>)");
    EXPECT_TRUE(Prompts.Texts().empty());
    // The last occurrence wins.
    EXPECT_EQ(Params.Value("uploadscript"), "/second.php");
    // A missing "value" attribute (or one spelled otherwise) empties the key.
    EXPECT_EQ(Params.ServiceAddress("sendmailhost", "sendmailscript"), "http://" + kHost);
    EXPECT_EQ(Params.Value("appverscript"), "");
    EXPECT_EQ(Params.ServiceAddress("uploadhost", "memstatscript"), "http://" + kHost + "no-slash");
    // Only children of the root count.
    EXPECT_EQ(Params.Value("uploadhost"), kHost);
    EXPECT_EQ(Params.Entries().size(), 6u);
}

TEST_F(ServiceParametersTest, EveryLoadStartsFromTheDefaults)
{
    Load(R"(<parameters><uploadhost value="a"/></parameters>)");
    EXPECT_EQ(Params.Value("uploadhost"), "a");
    Load(R"(<parameters><sendmailhost value="b"/></parameters>)");
    EXPECT_EQ(Params.Value("uploadhost"), kHost);
    EXPECT_EQ(Params.Value("sendmailhost"), "b");
}

struct CorruptCase {
    const char *Name;
    const char *Content; // nullptr: a folder in place of the file
};

class ServiceParametersCorruptTest : public ServiceParametersTest, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(ServiceParametersCorruptTest, ReportsAndKeepsDefaults)
{
    if (GetParam().Content)
        Load(GetParam().Content);
    else {
        std::filesystem::create_directory(Dir / kParametersFileName);
        LoadAgain();
    }
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kCorrupt});
    ASSERT_EQ(Prompts.Prompts().size(), 1u);
    EXPECT_EQ(Prompts.Prompts()[0].Caption, "Error");
    ExpectDefaults();
}

INSTANTIATE_TEST_SUITE_P(Files, ServiceParametersCorruptTest,
                         ::testing::Values(CorruptCase{"WrongRoot", R"(<params><uploadhost value="evil"/></params>)"},
                                           CorruptCase{"Empty", ""},
                                           // Damage after a good element: nothing of the file is used.
                                           CorruptCase{"Truncated",
                                                       R"(<parameters><uploadhost value="evil"/><uploadscript)"},
                                           CorruptCase{"NotXml", "uploadhost=evil\n"}, CorruptCase{"Folder", nullptr}),
                         [](const auto &info) { return std::string(info.param.Name); });

} // namespace
} // namespace vantorel
