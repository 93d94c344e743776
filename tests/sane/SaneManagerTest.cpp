// The manager's protocol, called directly: the triplets it refuses, the identities of the
// devices, the default source kept between runs, and the pixel-type capability.
#include <cstring>

#include <dlfcn.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>

#include "SaneTestSupport.h"

namespace vantorel::test {
namespace {

// The installed manager, loaded beside the wrapper and driven by hand.
class SaneManagerTest : public TSaneTestBase {
protected:
    void SetUp() override
    {
        TSaneTestBase::SetUp();
        FLibrary = ::dlopen((Folder / "TWAIN_32.DLL").c_str(), RTLD_NOW | RTLD_LOCAL);
        FEntry = reinterpret_cast<DSMENTRYPROC>(::dlsym(FLibrary, "DSM_Entry"));
    }
    void TearDown() override
    {
        Close();
        ::dlclose(FLibrary);
        TSaneTestBase::TearDown();
    }
    TW_UINT16 Call(bool toSource, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data)
    {
        return FEntry(&App, toSource ? &Source : nullptr, dg, dat, msg, data);
    }
    TW_UINT16 Condition(bool ofSource)
    {
        TW_STATUS status{0xEEEE, 0};
        Call(ofSource, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }
    TW_UINT16 Open()
    {
        TW_HANDLE parent = reinterpret_cast<TW_HANDLE>(Handle);
        return Call(false, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent);
    }
    TW_UINT16 Close()
    {
        TW_HANDLE parent = nullptr;
        return Call(false, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
    }
    TW_UINT16 Identity(TW_UINT16 msg, TW_IDENTITY &identity)
    {
        return Call(false, DG_CONTROL, DAT_IDENTITY, msg, &identity);
    }
    TW_UINT16 PixelType(TW_UINT16 msg = MSG_GETCURRENT)
    {
        TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
        Call(true, DG_CONTROL, DAT_CAPABILITY, msg, &capability);
        const auto *data = static_cast<const std::uint8_t *>(GlobalLock(capability.hContainer));
        TW_UINT16 type = capability.ConType == TWON_ONEVALUE ? data[2] : data[6]; // the item, or CurrentIndex
        GlobalFree(capability.hContainer);
        return type;
    }
    // Answers the selection dialog with a row (or none) and a button, noting what it listed.
    void AnswerSelection(int row, QDialogButtonBox::StandardButton button, QStringList &listed)
    {
        Drive({[=, &listed](QDialog *dialog) {
                  auto *list = dialog->findChild<QListWidget *>("SourceList");
                  for (int i = 0; i < list->count(); ++i)
                      listed.push_back(list->item(i)->text());
                  list->setCurrentRow(row);
                  auto *buttons = dialog->findChild<QDialogButtonBox *>();
                  EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->isEnabled(), list->count() > 0);
                  buttons->button(button)->click();
                  return true;
              }},
              "SaneSelectDialog");
    }
    std::string StoredDefault() const
    {
        return ReadFile(std::string(std::getenv("XDG_CONFIG_HOME")) + "/vantorel/twainsource");
    }

    TW_IDENTITY App{}, Source{};
    void *FLibrary = nullptr;
    DSMENTRYPROC FEntry = nullptr;
};

TEST_F(SaneManagerTest, TripletsOutOfSequenceAreRefusedAndChangeNothing)
{
    TW_HANDLE parent = reinterpret_cast<TW_HANDLE>(Handle), dib = nullptr;
    TW_IDENTITY unknown{}, second{};
    std::strcpy(unknown.ProductName, "no such scanner");
    TW_USERINTERFACE ui{1, 0, parent};
    TW_EVENT event{nullptr, 0xEEEE};
    TW_CAPABILITY set{ICAP_PIXELTYPE, TWON_ONEVALUE, nullptr}, units{ICAP_UNITS, TWON_DONTCARE16, nullptr};
    const struct {
        const char *Description;
        bool ToSource; // else to the manager; whose DAT_STATUS tells the condition
        TW_UINT32 DG;
        TW_UINT16 DAT, MSG;
        void *Data;
        TW_UINT16 Result, Condition;
    } calls[] = {
        {"the default before opening", false, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &second, 1, TWCC_SEQERROR},
        {"opening", false, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent, 0, TWCC_SUCCESS},
        {"opening again", false, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent, 1, TWCC_SEQERROR},
        {"an unknown source", false, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &unknown, 1, TWCC_NODS},
        {"the default source", false, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &Source, 0, TWCC_SUCCESS},
        {"a second source", false, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &second, 1, TWCC_MAXCONNECTIONS},
        {"closing one not open", false, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &second, 1, TWCC_BADDEST},
        {"a capability it lacks", true, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &units, 1, TWCC_CAPUNSUPPORTED},
        {"enabling", true, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui, 0, TWCC_SUCCESS},
        {"a setting while enabled", true, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &set, 1, TWCC_SEQERROR},
        {"a transfer before a scan", true, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib, 1, TWCC_SEQERROR},
        {"closing it enabled", false, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Source, 1, TWCC_SEQERROR},
        {"an event with no news", true, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event, TWRC_NOTDSEVENT, 0},
        {"closing the manager closes the source", false, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent, 0, 0},
        {"the default after closing", false, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &second, 1, TWCC_SEQERROR},
    };
    for (const auto &c : calls) {
        SCOPED_TRACE(c.Description);
        EXPECT_EQ(Call(c.ToSource, c.DG, c.DAT, c.MSG, c.Data), c.Result);
        EXPECT_EQ(Condition(c.ToSource), c.Condition);
    }
    EXPECT_EQ(App.Id, 1u);
    EXPECT_EQ(event.TWMessage, MSG_NULL);
    EXPECT_EQ(FindDialog("SaneSourceDialog"), nullptr);
}

TEST_F(SaneManagerTest, DevicesGetUniqueNamesAndTheChosenOneStaysTheDefault)
{
    ConfigureSane("number_of_devices 2\n");
    QStringList listed;
    AnswerSelection(1, QDialogButtonBox::Ok, listed);
    EXPECT_EQ(TWAIN_SelectImageSource(Handle), 1);
    EXPECT_EQ(listed, (QStringList{"frontend-tester", "frontend-tester (2)"}));
    EXPECT_EQ(StoredDefault(), "test:1\n");

    ASSERT_EQ(Open(), TWRC_SUCCESS);
    ASSERT_EQ(Identity(MSG_OPENDS, Source), TWRC_SUCCESS);
    EXPECT_STREQ(Source.ProductName, "frontend-tester (2)");
    EXPECT_STREQ(Source.Manufacturer, "Noname");
    EXPECT_STREQ(Source.ProductFamily, "virtual device");
    EXPECT_EQ(Source.ProtocolMajor * 100 + Source.ProtocolMinor, 106);
    EXPECT_EQ(TW_UINT32{Source.SupportedGroups}, DG_CONTROL | DG_IMAGE);
    TW_USERINTERFACE ui{1, 0, nullptr};
    ASSERT_EQ(Call(true, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(FindDialog("SaneSourceDialog")->findChild<QLabel *>("DeviceLabel")->text(), "virtual device (test:1)");
    TW_IDENTITY chosen{};
    AnswerSelection(0, QDialogButtonBox::Cancel, listed);
    EXPECT_EQ(Identity(MSG_USERSELECT, chosen), TWRC_CANCEL);
    EXPECT_EQ(StoredDefault(), "test:1\n");
    Close();

    // The stored device gone, the first one is the default; without devices there is none.
    ConfigureSane();
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    EXPECT_EQ(Identity(MSG_GETDEFAULT, chosen), TWRC_SUCCESS);
    EXPECT_STREQ(chosen.ProductName, "frontend-tester");
    Close();
    ConfigureSane({}, "\n");
    listed.clear();
    AnswerSelection(-1, QDialogButtonBox::Cancel, listed);
    EXPECT_EQ(TWAIN_SelectImageSource(Handle), 0);
    EXPECT_TRUE(listed.isEmpty());
}

TEST_F(SaneManagerTest, APixelTypeSetKeepsTheCurrentTypeWhenAllowedElseTakesTheFirst)
{
    const TW_UINT32 none = TWON_DONTCARE32;
    const struct {
        const char *Description;
        std::string Conf;
        TW_UINT16 ConType, ItemType;
        std::vector<TW_UINT32> Items;
        TW_UINT32 CurrentIndex;
        TW_UINT16 Result, Before, After; // Before: the type the device's settings give
    } cases[] = {
        {"the current type allowed", "", TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}, none, 0, 2, 2},
        {"the current type left out", "", TWON_ENUMERATION, TWTY_UINT16, {1, 0}, none, 0, 2, 1},
        {"one value", "", TWON_ONEVALUE, TWTY_UINT16, {1}, 0, 0, 2, 1},
        {"grey of one bit is black and white",
         "mode Gray\ndepth 1\n",
         TWON_ENUMERATION,
         TWTY_UINT16,
         {2, 1},
         none,
         0,
         0,
         2},
        {"only types the device lacks", "", TWON_ENUMERATION, TWTY_UINT16, {3, 4}, none, 1, 2, 2},
        {"items that are not 16 bits", "", TWON_ENUMERATION, TWTY_UINT32, {0, 1}, none, 1, 2, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        ConfigureSane(c.Conf);
        ASSERT_EQ(Open(), TWRC_SUCCESS);
        ASSERT_EQ(Identity(MSG_OPENDS, Source = {}), TWRC_SUCCESS);
        EXPECT_EQ(PixelType(MSG_GET), c.Before); // the index in the list of all three
        const std::size_t itemSize = c.ItemType == TWTY_UINT32 ? 4 : 2;
        TW_HANDLE block = GlobalAlloc(14 + c.Items.size() * itemSize);
        auto *data = static_cast<std::uint8_t *>(GlobalLock(block));
        const TW_UINT32 header[3] = {static_cast<TW_UINT32>(c.Items.size()), c.CurrentIndex, c.CurrentIndex};
        std::memcpy(data, &c.ItemType, 2);
        std::memcpy(data + 2, c.ConType == TWON_ONEVALUE ? &c.Items[0] : header, c.ConType == TWON_ONEVALUE ? 4 : 12);
        for (std::size_t i = 0; c.ConType != TWON_ONEVALUE && i < c.Items.size(); ++i)
            std::memcpy(data + 14 + i * itemSize, &c.Items[i], itemSize);
        TW_CAPABILITY set{ICAP_PIXELTYPE, c.ConType, block};
        EXPECT_EQ(Call(true, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &set), c.Result);
        EXPECT_EQ(Condition(true), c.Result == TWRC_SUCCESS ? TWCC_SUCCESS : TWCC_BADVALUE);
        EXPECT_EQ(PixelType(), c.After);
        GlobalFree(block); // the application's container stays the application's
        Close();
    }
}

} // namespace
} // namespace vantorel::test
