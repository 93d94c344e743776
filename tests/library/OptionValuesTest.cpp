#include "OptionValues.h"

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::TTempDir;
using test::WriteFile;

// The (key, value) pairs of a written options file, in document order.
std::vector<std::pair<std::string, std::string>> WrittenPairs(const std::string &path)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(path.c_str()));
    std::vector<std::pair<std::string, std::string>> pairs;
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.name(), "options");
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        EXPECT_EQ(child.type(), pugi::node_element);
        EXPECT_EQ(std::distance(child.attributes_begin(), child.attributes_end()), 1);
        pairs.emplace_back(child.name(), child.attribute("value").value());
    }
    return pairs;
}

class OptionValuesTest : public ::testing::Test {
protected:
    TOptionsReadResult Read(const std::string &content)
    {
        WriteFile(Path, content);
        return ReadAgain();
    }
    TOptionsReadResult ReadAgain()
    {
        const TOptionsReadResult result = ReadOptionsFile(Path, Xml, Values);
        EXPECT_FALSE(Xml.Active());
        EXPECT_TRUE(Xml.FileName().empty());
        return result;
    }

    TTempDir Dir;
    std::string Path = Dir / kOptionsFileName;
    TXMLSource Xml;
    TOptionValues Values;
};

TEST_F(OptionValuesTest, DefaultsAreWrittenAsAllTwentySevenElementsInOrder)
{
    WriteOptionsFile(Path, Xml, Values);
    EXPECT_FALSE(Xml.Active());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"login", ""},
        {"password", ""},
        {"proxysource", "ie"},
        {"proxyhost", ""},
        {"proxyport", ""},
        {"proxyauthentication", "no"},
        {"proxylogin", ""},
        {"proxypassword", ""},
        {"showlogochange", "no"},
        {"fillemptyarea", "no"},
        {"emptyareacolor", "16777215"},
        {"jpegquality", "90"},
        {"showjpegdialog", "yes"},
        {"gifbitdepth", "8"},
        {"showgifdialog", "yes"},
        {"convertretainsource", "2"},
        {"convertasktargetname", "no"},
        {"mirrorretainsource", "2"},
        {"mirrorasktargetname", "no"},
        {"rotateretainsource", "2"},
        {"rotateasktargetname", "no"},
        {"importedfileformat", "1"},
        {"importasktargetname", "no"},
        {"grabbedfileformat", "1"},
        {"grabasktargetname", "no"},
        {"enableaccesshint", "yes"},
        {"checknewversion", "yes"},
    };
    EXPECT_EQ(WrittenPairs(Path), expected);
    for (std::size_t i = 0; i < kOptionKeys.size(); ++i)
        EXPECT_EQ(kOptionKeys[i], expected[i].first);
}

TEST_F(OptionValuesTest, EveryValueSurvivesWriteAndRead)
{
    TOptionValues written;
    written.login = "  user name ";
    written.password = R"(p"a<s>s&w'o;rd ü)";
    written.proxysource = psNoProxy;
    written.proxyhost = "proxy.example";
    written.proxyport = "8080";
    written.proxyauthentication = true;
    written.proxylogin = "pl";
    written.proxypassword = "tab\there";
    written.showlogochange = true;
    written.fillemptyarea = true;
    written.emptyareacolor = -1;
    written.jpegquality = 30;
    written.showjpegdialog = false;
    written.gifbitdepth = 3;
    written.showgifdialog = false;
    written.convertretainsource = srAsk;
    written.convertasktargetname = true;
    written.mirrorretainsource = srRetain;
    written.mirrorasktargetname = true;
    written.rotateretainsource = 7;
    written.rotateasktargetname = true;
    written.importedfileformat = kAskImageFileFormat;
    written.importasktargetname = true;
    written.grabbedfileformat = iffPNG;
    written.grabasktargetname = true;
    written.enableaccesshint = false;
    written.checknewversion = false;
    WriteOptionsFile(Path, Xml, written);

    const auto pairs = WrittenPairs(Path);
    ASSERT_EQ(pairs.size(), 27u);
    EXPECT_EQ(pairs[1].second, written.password);
    EXPECT_EQ(pairs[2].second, "noproxy");
    EXPECT_EQ(pairs[10].second, "-1");

    EXPECT_EQ(ReadAgain(), TOptionsReadResult::Read);
    EXPECT_EQ(Values, written);
}

TEST_F(OptionValuesTest, WritingReplacesTheFileAndRaisesWhenItCannot)
{
    WriteFile(Path, "old content");
    Values.login = "new";
    WriteOptionsFile(Path, Xml, Values);
    EXPECT_EQ(WrittenPairs(Path)[0].second, "new");

    EXPECT_THROW(WriteOptionsFile(Dir / "no/such/folder/options.xml", Xml, Values), EXMLError);
    EXPECT_FALSE(Xml.Active());
    EXPECT_TRUE(Xml.FileName().empty());
}

TEST_F(OptionValuesTest, TheFileIsAlwaysForItsOwnerOnly)
{
    // The file holds the login and the passwords; the first save makes it.
    using std::filesystem::perms;
    for (const perms before : {perms::none, perms(0644), perms(0400)}) {
        if (before != perms::none)
            std::filesystem::permissions(Path, before);
        WriteOptionsFile(Path, Xml, Values);
        EXPECT_EQ(std::filesystem::status(Path).permissions() & perms::all, perms::owner_read | perms::owner_write)
            << static_cast<int>(before);
    }
}

TEST_F(OptionValuesTest, AbsentFileLeavesValuesAlone)
{
    Values.login = "kept";
    EXPECT_EQ(ReadAgain(), TOptionsReadResult::Absent);
    EXPECT_EQ(Values.login, "kept");
}

struct RootCase {
    const char *Content;
    TOptionsReadResult Result;
};
// Without it the test's name is printed from the case's bytes, unset ones included.
void PrintTo(const RootCase &c, std::ostream *os) { *os << c.Content; }

class OptionValuesRootTest : public OptionValuesTest, public ::testing::WithParamInterface<RootCase> {};

TEST_P(OptionValuesRootTest, RootAndWellFormednessDecide)
{
    const RootCase &c = GetParam();
    TOptionValues before;
    before.login = "before";
    Values = before;
    EXPECT_EQ(Read(c.Content), c.Result);
    if (c.Result == TOptionsReadResult::Read) {
        EXPECT_EQ(Values.login, "file");
    } else {
        EXPECT_EQ(Values, before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roots, OptionValuesRootTest,
    ::testing::Values(RootCase{R"(<options><login value="file"/></options>)", TOptionsReadResult::Read},
                      RootCase{R"(<Options><login value="file"/></Options>)", TOptionsReadResult::Read},
                      RootCase{R"(<OPTIONS><login value="file"/></OPTIONS>)", TOptionsReadResult::Read},
                      RootCase{R"(<settings><login value="file"/></settings>)", TOptionsReadResult::Corrupt},
                      RootCase{"", TOptionsReadResult::Corrupt},
                      RootCase{R"(<options><login value="file"/>)", TOptionsReadResult::Corrupt},
                      RootCase{R"(<options><login value="file/></options>)", TOptionsReadResult::Corrupt},
                      RootCase{"login=file", TOptionsReadResult::Corrupt}));

TEST_F(OptionValuesTest, FolderInPlaceOfTheFileIsCorrupt)
{
    std::filesystem::create_directory(Path);
    EXPECT_EQ(ReadAgain(), TOptionsReadResult::Corrupt);
}

// One element read over values that all differ from the defaults, so that every fallback shows.
struct ValueCase {
    const char *Element;
    const char *Field;
    std::string Expected; // the field's value after reading, in its written form
};
// Without it the test's name is printed from the case's bytes, unset ones included.
void PrintTo(const ValueCase &c, std::ostream *os) { *os << c.Element; }

TOptionValues NonDefaults()
{
    TOptionValues v;
    v.login = "x";
    v.proxysource = psManual;
    v.proxyauthentication = true;
    v.jpegquality = 50;
    v.gifbitdepth = 5;
    v.emptyareacolor = 7;
    v.convertretainsource = srRetain;
    v.importedfileformat = iffGIF;
    return v;
}

std::string FieldText(const TOptionValues &v, const std::string &field)
{
    if (field == "login")
        return v.login;
    if (field == "proxysource")
        return std::to_string(v.proxysource);
    if (field == "proxyauthentication")
        return v.proxyauthentication ? "true" : "false";
    if (field == "jpegquality")
        return std::to_string(v.jpegquality);
    if (field == "gifbitdepth")
        return std::to_string(v.gifbitdepth);
    if (field == "emptyareacolor")
        return std::to_string(v.emptyareacolor);
    if (field == "convertretainsource")
        return std::to_string(v.convertretainsource);
    if (field == "importedfileformat")
        return std::to_string(v.importedfileformat);
    return "?";
}

class OptionValuesValueTest : public OptionValuesTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(OptionValuesValueTest, ReadsOneValue)
{
    const ValueCase &c = GetParam();
    Values = NonDefaults();
    ASSERT_EQ(Read(std::string("<options>") + c.Element + "</options>"), TOptionsReadResult::Read);
    EXPECT_EQ(FieldText(Values, c.Field), c.Expected) << c.Element;
}

INSTANTIATE_TEST_SUITE_P(Values, OptionValuesValueTest,
                         ::testing::Values(
                             // Integers: no range check here, the controls clamp.
                             ValueCase{R"(<jpegquality value="93"/>)", "jpegquality", "93"},
                             ValueCase{R"(<jpegquality value="5"/>)", "jpegquality", "5"},
                             ValueCase{R"(<gifbitdepth value="12"/>)", "gifbitdepth", "12"},
                             ValueCase{R"(<convertretainsource value="-1"/>)", "convertretainsource", "-1"},
                             ValueCase{R"(<importedfileformat value="7"/>)", "importedfileformat", "7"},
                             ValueCase{R"(<emptyareacolor value="$FF"/>)", "emptyareacolor", "255"},
                             ValueCase{R"(<emptyareacolor value="0x10"/>)", "emptyareacolor", "16"},
                             ValueCase{R"(<emptyareacolor value="  42"/>)", "emptyareacolor", "42"},
                             ValueCase{R"(<emptyareacolor value="-2147483648"/>)", "emptyareacolor", "-2147483648"},
                             // An integer that cannot be read takes the option's default, not the previous value.
                             ValueCase{R"(<jpegquality value="abc"/>)", "jpegquality", "90"},
                             ValueCase{R"(<jpegquality/>)", "jpegquality", "90"},
                             ValueCase{R"(<jpegquality value=""/>)", "jpegquality", "90"},
                             ValueCase{R"(<jpegquality value="42 "/>)", "jpegquality", "90"},
                             ValueCase{R"(<gifbitdepth value="8.0"/>)", "gifbitdepth", "8"},
                             ValueCase{R"(<emptyareacolor value="2147483648"/>)", "emptyareacolor", "16777215"},
                             ValueCase{R"(<convertretainsource value="ask"/>)", "convertretainsource", "2"},
                             ValueCase{R"(<importedfileformat Value="0"/>)", "importedfileformat", "1"},
                             // Booleans: "yes" in any case, nothing else.
                             ValueCase{R"(<proxyauthentication value="YES"/>)", "proxyauthentication", "true"},
                             ValueCase{R"(<proxyauthentication value="Yes"/>)", "proxyauthentication", "true"},
                             ValueCase{R"(<proxyauthentication value="true"/>)", "proxyauthentication", "false"},
                             ValueCase{R"(<proxyauthentication value="1"/>)", "proxyauthentication", "false"},
                             ValueCase{R"(<proxyauthentication value=" yes"/>)", "proxyauthentication", "false"},
                             ValueCase{R"(<proxyauthentication/>)", "proxyauthentication", "false"},
                             // Proxy source.
                             ValueCase{R"(<proxysource value="Manual"/>)", "proxysource", "1"},
                             ValueCase{R"(<proxysource value="NOPROXY"/>)", "proxysource", "2"},
                             ValueCase{R"(<proxysource value="IE"/>)", "proxysource", "0"},
                             ValueCase{R"(<proxysource value=""/>)", "proxysource", "0"},
                             ValueCase{R"(<proxysource value="1"/>)", "proxysource", "0"},
                             ValueCase{R"(<proxysource/>)", "proxysource", "0"},
                             // Texts as they stand; the attribute name is exact.
                             ValueCase{R"(<login value=" Mixed Case "/>)", "login", " Mixed Case "},
                             ValueCase{R"(<login value="a&amp;b&#x3c;"/>)", "login", "a&b<"},
                             ValueCase{R"(<login/>)", "login", ""},
                             ValueCase{R"(<login VALUE="ignored"/>)", "login", ""},
                             // Element names in any case.
                             ValueCase{R"(<JPEGQuality value="70"/>)", "jpegquality", "70"},
                             ValueCase{R"(<LOGIN value="up"/>)", "login", "up"}));

TEST_F(OptionValuesTest, ElementsApplyInDocumentOrderAndStrangersAreSkipped)
{
    Values = NonDefaults();
    ASSERT_EQ(Read(R"(<options>
  text
  <!-- <login value="commented"/> -->
  <jpegquality value="60"/>
  <group><login value="nested"/></group>
  <loginx value="other"/>
  <jpegquality value="80"/>
  <?login value="pi"?>
  <gifbitdepth value="4"/>
</options>)"),
              TOptionsReadResult::Read);
    TOptionValues expected = NonDefaults();
    expected.jpegquality = 80;
    expected.gifbitdepth = 4;
    EXPECT_EQ(Values, expected);
}

TEST_F(OptionValuesTest, OversizedFileIsCorrupt)
{
    Xml.SetMaxFileSize(32);
    EXPECT_EQ(Read(R"(<options><login value="a long enough login"/></options>)"), TOptionsReadResult::Corrupt);
    EXPECT_EQ(Values.login, "");
}

TEST(OptionWords, ProxySourceIsWrittenAsAWord)
{
    EXPECT_EQ(WriteProxySource(psIE), "ie");
    EXPECT_EQ(WriteProxySource(psManual), "manual");
    EXPECT_EQ(WriteProxySource(psNoProxy), "noproxy");
    // A value outside the list falls back to the system's settings, which is what reading gives.
    EXPECT_EQ(WriteProxySource(9), "ie");
    for (int source : {psIE, psManual, psNoProxy})
        EXPECT_EQ(ReadProxySource(WriteProxySource(source)), source);
}

struct ProxyCase {
    const char *Server;
    const char *Host;
    const char *Port;
};

class ProxyServerTest : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyServerTest, SplitsHostAndPort)
{
    std::string host = "stale", port = "stale";
    ParseProxyServer(GetParam().Server, host, port);
    EXPECT_EQ(host, GetParam().Host) << GetParam().Server;
    EXPECT_EQ(port, GetParam().Port) << GetParam().Server;
}

INSTANTIATE_TEST_SUITE_P(Servers, ProxyServerTest,
                         ::testing::Values(ProxyCase{"", "", ""}, ProxyCase{"proxy:8080", "proxy", "8080"},
                                           ProxyCase{"proxy", "proxy", "3128"}, ProxyCase{"proxy:", "proxy", ""},
                                           ProxyCase{":8080", "", "8080"}, ProxyCase{"a:1:2", "a", "1:2"},
                                           ProxyCase{"ftp=f:21;http=b:81;https=c:443", "b", "81"},
                                           ProxyCase{"http=b", "b", "3128"}, ProxyCase{"http=b:81;", "b", "81"},
                                           ProxyCase{"http=", "", ""}, ProxyCase{"http=;ftp=x:1", "", ""},
                                           // Without an "http=" entry the list is taken whole.
                                           ProxyCase{"ftp=a:21", "ftp=a", "21"},
                                           ProxyCase{"https=c:443", "https=c", "443"},
                                           // The test for an entry is exact in case, the search for it is not.
                                           ProxyCase{"HTTP=b:81", "HTTP=b", "81"},
                                           ProxyCase{"HTTP=a:1;http=b:2", "a", "1"}));

// Saves and restores http_proxy around each test.
class SystemProxySettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char *value = std::getenv("http_proxy"))
            FSaved = value;
    }
    void TearDown() override
    {
        if (FSaved)
            ::setenv("http_proxy", FSaved->c_str(), 1);
        else
            ::unsetenv("http_proxy");
    }

private:
    std::optional<std::string> FSaved;
};

TEST_F(SystemProxySettingsTest, ReadsTheEnvironment)
{
    const struct {
        const char *Variable; // nullptr: unset
        const char *Host;
        const char *Port;
    } cases[] = {
        {nullptr, "", ""},
        {"", "", ""},
        {"http://proxy:8080/", "proxy", "8080"},
        {"proxy:3128", "proxy", "3128"},
        {"http://user:pw@proxy:8080", "proxy", "8080"},
        {"http://proxy", "proxy", "3128"},
    };
    for (const auto &c : cases) {
        if (c.Variable)
            ::setenv("http_proxy", c.Variable, 1);
        else
            ::unsetenv("http_proxy");
        std::string host = "stale", port = "stale";
        ReadIEProxySettings(host, port);
        EXPECT_EQ(host, c.Host) << (c.Variable ? c.Variable : "(unset)");
        EXPECT_EQ(port, c.Port) << (c.Variable ? c.Variable : "(unset)");
    }
}

} // namespace
} // namespace vantorel
