#include <algorithm>
#include <cstring>

#include <QCoreApplication>
#include <QEvent>

#include "AcquireTestSupport.h"
#include "Bitmap.h"

namespace vantorel::test {
namespace {

constexpr TTriplet OpenDSM{DG_CONTROL, DAT_PARENT, MSG_OPENDSM, false};
constexpr TTriplet CloseDSM{DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, false};
constexpr TTriplet OpenDS{DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, false};
constexpr TTriplet CloseDS{DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, false};
constexpr TTriplet EnableDS{DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, true};
constexpr TTriplet DisableDS{DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, true};
constexpr TTriplet ProcessEvent{DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, true};
constexpr TTriplet NativeGet{DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, true};
constexpr TTriplet EndXfer{DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, true};
constexpr TTriplet Reset{DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, true};

class TAcquireNativeTest : public TTwainTestBase {
protected:
    TW_HANDLE Acquire(std::uint32_t mask = 0)
    {
        TW_HANDLE dib = TWAIN_AcquireNative(Handle, mask);
        EXPECT_EQ(TWAIN_State(), 1);
        EXPECT_TRUE(Window.isEnabled());
        Owned.push_back(dib);
        return dib;
    }
    void TearDown() override
    {
        for (TW_HANDLE dib : Owned)
            TWAIN_FreeNative(dib);
        TTwainTestBase::TearDown();
    }
    std::uint32_t TopLeft(TW_HANDLE dib)
    {
        TBitmap picture(TWAIN_DibWidth(dib), TWAIN_DibHeight(dib));
        DrawDibToImage(dib, picture);
        TColor c = picture.Pixel(0, 0);
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    std::size_t Gets() const { return GManagerScript.Count(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET); }
    std::size_t Resets() const { return GManagerScript.Count(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET); }

    std::vector<TW_HANDLE> Owned;
};

TEST_F(TAcquireNativeTest, OneImageSendsTheExactTripletsAndOutlivesTheManager)
{
    Script().Transfers = {{TWRC_XFERDONE, SmallDib(0x102030), 0}};
    TW_HANDLE dib = Acquire();

    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(TWAIN_ImageCount(), 1);
    EXPECT_EQ(TWAIN_ImageHandle(0), dib);
    // The manager is unloaded by now: the block is still readable.
    EXPECT_EQ(TopLeft(dib), 0x102030u);
    EXPECT_EQ(Script().Calls, (std::vector<TTriplet>{OpenDSM, OpenDS, EnableDS, ProcessEvent, NativeGet, EndXfer,
                                                     DisableDS, CloseDS, CloseDSM}));
    EXPECT_EQ(Script().Parent, reinterpret_cast<TW_HANDLE>(Handle));
    EXPECT_EQ(Script().OpenDSId, 0u);
    EXPECT_EQ(Script().OpenDSName, "");
    TW_USERINTERFACE ui = Script().UI; // packed: compare copies of its fields
    TW_BOOL showUI = ui.ShowUI, modalUI = ui.ModalUI;
    TW_HANDLE parent = ui.hParent;
    EXPECT_EQ(showUI, 1);
    EXPECT_EQ(modalUI, 0);
    EXPECT_EQ(parent, reinterpret_cast<TW_HANDLE>(Handle));
    EXPECT_FALSE(Script().EventsHadRecord);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TAcquireNativeTest, ThreeInABatchCallBackWithTheirIndexesAndReturnTheLast)
{
    Script().Transfers = {
        {TWRC_XFERDONE, SmallDib(1), 2}, {TWRC_XFERDONE, SmallDib(2), 1}, {TWRC_XFERDONE, SmallDib(3), 0}};
    std::vector<std::pair<std::uint32_t, std::int32_t>> seen;
    bool windowEnabled = true;
    TWAIN_SetImageCallback([&](TW_HANDLE image, std::int32_t index) {
        seen.emplace_back(TopLeft(image), index);
        windowEnabled = windowEnabled && Window.isEnabled();
    });
    TW_HANDLE dib = Acquire();

    EXPECT_EQ(seen, (std::vector<std::pair<std::uint32_t, std::int32_t>>{{1, 0}, {2, 1}, {3, 2}}));
    EXPECT_FALSE(windowEnabled);
    EXPECT_EQ(TopLeft(dib), 3u);
    EXPECT_EQ(TWAIN_ImageCount(), 3);
    // The images not returned were freed before the acquisition returned.
    EXPECT_EQ(TWAIN_ImageHandle(0), nullptr);
    EXPECT_EQ(TWAIN_ImageHandle(1), nullptr);
    EXPECT_EQ(TWAIN_ImageHandle(2), dib);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT), 1u);
}

TEST_F(TAcquireNativeTest, ACancelledLastImageKeepsTheSourceEnabledForAnotherScan)
{
    Script().Events = {MSG_XFERREADY, MSG_NULL, MSG_XFERREADY};
    Script().Transfers = {{TWRC_XFERDONE, SmallDib(1), 1}, {TWRC_CANCEL, {}, 0}, {TWRC_XFERDONE, SmallDib(2), 0}};
    TW_HANDLE dib = Acquire();

    EXPECT_EQ(TopLeft(dib), 2u);
    EXPECT_EQ(TWAIN_ImageCount(), 2);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT), 3u);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TAcquireNativeTest, EndsWithoutAnImageOrABox)
{
    struct TCase {
        const char *Description;
        std::deque<TW_UINT16> Events;
        TW_UINT16 EventResult;
        std::deque<TScriptedTransfer> Transfers;
    } cases[] = {
        {"Cancel at once", {MSG_CLOSEDSREQ}, TWRC_DSEVENT, {}},
        {"closed after idle turns", {MSG_NULL, MSG_NULL, MSG_CLOSEDSREQ}, TWRC_NOTDSEVENT, {}},
        {"closed after a cancelled last image",
         {MSG_XFERREADY, MSG_CLOSEDSREQ},
         TWRC_NOTDSEVENT,
         {{TWRC_XFERDONE, SmallDib(1), 1}, {TWRC_CANCEL, {}, 0}}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        GManagerScript = {};
        Script().Events = c.Events;
        Script().EventResult = c.EventResult;
        Script().Transfers = c.Transfers;
        EXPECT_EQ(Acquire(), nullptr);
        EXPECT_EQ(Script().Calls.back(), CloseDSM);
        EXPECT_EQ(Script().Count(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS), 1u);
        EXPECT_TRUE(Boxes.empty());
    }
}

TEST_F(TAcquireNativeTest, FailuresOnTheWayUpShowOneBoxAndTearDown)
{
    struct TCase {
        const char *Description;
        void (*Arrange)(TManagerScript &);
        bool NoManager;
        const char *Box;
        std::int32_t Error;
        TW_UINT16 Condition;
    } cases[] = {
        {"no manager file", [](TManagerScript &) {}, true, "Unable to load Source Manager (TWAIN_32.DLL)", 0, 0},
        {"manager refuses to open", [](TManagerScript &s) { s.OpenDSMResult = TWRC_FAILURE; }, false,
         "Unable to open Source Manager (TWAIN_32.DLL)", 0, 0},
        {"no default source",
         [](TManagerScript &s) {
             s.OpenDSResult = TWRC_FAILURE;
             s.ConditionCode = TWCC_NODS;
         },
         false, "Unable to open default Data Source.", 4, TWCC_NODS},
        {"source will not enable",
         [](TManagerScript &s) {
             s.EnableResult = TWRC_FAILURE;
             s.ConditionCode = TWCC_LOWMEMORY;
         },
         false, "Failed to enable Data Source.", 5, TWCC_LOWMEMORY},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        GManagerScript = {};
        Boxes.clear();
        c.Arrange(Script());
        if (c.NoManager)
            TWAIN_SetWindowsFolder(Folder / "empty");
        EXPECT_EQ(Acquire(), nullptr);
        EXPECT_EQ(Boxes, std::vector<TBox>{ErrorBox(c.Box)});
        EXPECT_EQ(TWAIN_LastError().Code, c.Error);
        EXPECT_EQ(TWAIN_LastError().ConditionCode, c.Condition);
        if (c.Error) {
            EXPECT_EQ(TWAIN_LastError().ResultCode, TWRC_FAILURE);
        }
        TWAIN_SetWindowsFolder(Folder.Path());
    }
}

TEST_F(TAcquireNativeTest, EnablingSucceedsOnEveryCodeButFailure)
{
    Script().EnableResult = TWRC_CHECKSTATUS;
    Script().Transfers = {{TWRC_XFERDONE, SmallDib(7), 0}};
    EXPECT_EQ(TopLeft(Acquire()), 7u);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TAcquireNativeTest, MaskZeroSendsNoCapabilityRequest)
{
    Script().Transfers = {{TWRC_XFERDONE, SmallDib(1), 0}};
    Acquire(0);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_CAPABILITY, MSG_GET), 0u);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 0u);
}

TEST_F(TAcquireNativeTest, NegotiatesThePixelType)
{
    const std::vector<TW_UINT16> none;
    struct TCase {
        const char *Description;
        std::uint32_t Mask;
        TW_UINT16 ConType;
        TW_UINT16 ItemType;
        std::vector<TW_UINT32> Items;
        void (*Arrange)(TManagerScript &);
        std::int32_t Error; // 0: the negotiation succeeds
        std::vector<TW_UINT16> SetItems;
        bool Set;
    } cases[] = {
        {"RGB asked, gray offered", 0x4, TWON_ENUMERATION, TWTY_UINT16, {TWPT_GRAY}, nullptr, 13, none, false},
        {"BW and RGB against 2, 1, 0", 0x5, TWON_ENUMERATION, TWTY_UINT16, {2, 1, 0}, nullptr, 0, {0, 2}, true},
        {"an array", 0x4, TWON_ARRAY, TWTY_INT16, {1, 2}, nullptr, 0, {2}, true},
        {"one value allowed: nothing is set back", 0x4, TWON_ONEVALUE, TWTY_UINT16, {2}, nullptr, 0, none, false},
        {"one value not allowed", 0x4, TWON_ONEVALUE, TWTY_UINT16, {1}, nullptr, 13, none, false},
        {"one value of 40 reaches no shift", 0xFFFFFFFF, TWON_ONEVALUE, TWTY_UINT16, {40}, nullptr, 13, none, false},
        {"items of 32 and more are dropped",
         0xFFFFFFFF,
         TWON_ENUMERATION,
         TWTY_UINT16,
         {33, 32, 2},
         nullptr,
         0,
         {2},
         true},
        {"empty container", 0x4, TWON_ENUMERATION, TWTY_UINT16, {}, nullptr, 12, none, false},
        {"32-bit items", 0x4, TWON_ENUMERATION, TWTY_UINT32, {2}, nullptr, 11, none, false},
        {"a range", 0x4, TWON_RANGE, TWTY_UINT16, {2}, nullptr, 10, none, false},
        {"no container",
         0x4,
         TWON_ENUMERATION,
         TWTY_UINT16,
         {2},
         [](TManagerScript &s) { s.NoContainer = true; },
         8,
         none,
         false},
        {"header does not fit its block",
         0x4,
         TWON_ENUMERATION,
         TWTY_UINT16,
         {2},
         [](TManagerScript &s) { s.ContainerSize = 8; },
         9,
         none,
         false},
        {"items do not fit their block",
         0x4,
         TWON_ENUMERATION,
         TWTY_UINT16,
         {2},
         [](TManagerScript &s) { s.DeclaredItems = 100000; },
         9,
         none,
         false},
        {"MSG_GET fails",
         0x4,
         TWON_ENUMERATION,
         TWTY_UINT16,
         {2},
         [](TManagerScript &s) { s.CapGetResult = TWRC_FAILURE; },
         2,
         none,
         false},
        {"MSG_SET fails",
         0x4,
         TWON_ENUMERATION,
         TWTY_UINT16,
         {2},
         [](TManagerScript &s) { s.CapSetResult = TWRC_FAILURE; },
         3,
         {2},
         true},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        GManagerScript = {};
        Boxes.clear();
        Script().ConType = c.ConType;
        Script().ItemType = c.ItemType;
        Script().PixelTypes = c.Items;
        Script().Transfers = {{TWRC_XFERDONE, SmallDib(1), 0}};
        if (c.Arrange)
            c.Arrange(Script());
        TW_HANDLE dib = Acquire(c.Mask);

        EXPECT_EQ(Script().CapGetPreset, TWON_ENUMERATION);
        EXPECT_EQ(Script().Count(DG_CONTROL, DAT_CAPABILITY, MSG_SET), c.Set ? 1u : 0u);
        EXPECT_EQ(Script().SetItems, c.SetItems);
        if (c.Set && c.ConType == TWON_ENUMERATION) {
            EXPECT_EQ(Script().SetCurrentIndex, 0xFFFFFFFFu);
            EXPECT_EQ(Script().SetDefaultIndex, 0xFFFFFFFFu);
        }
        EXPECT_EQ(TWAIN_LastError().Code, c.Error);
        if (c.Error) {
            EXPECT_EQ(dib, nullptr);
            EXPECT_EQ(Boxes, std::vector<TBox>{ErrorBox("Failed to negotiate Pixel Type.")});
            EXPECT_EQ(Script().Count(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS), 0u);
        } else {
            EXPECT_NE(dib, nullptr);
            EXPECT_TRUE(Boxes.empty());
        }
    }
}

TEST_F(TAcquireNativeTest, AFailingSourceIsGivenUpAfterThreeAttemptsAndTheNextAcquisitionWorks)
{
    Script().Events = {MSG_XFERREADY, MSG_XFERREADY};
    Script().Transfers = {
        {TWRC_FAILURE, {}, 0}, {TWRC_FAILURE, {}, 0}, {TWRC_FAILURE, {}, 0}, {TWRC_XFERDONE, SmallDib(5), 0}};
    Script().ResetResult = TWRC_FAILURE; // even a refused reset leaves the loop in state 5
    TW_HANDLE dib = Acquire();

    EXPECT_EQ(TopLeft(dib), 5u);
    // The batch is given up, and the next image comes with the next event, in state 5.
    const std::vector<TTriplet> &calls = Script().Calls;
    auto first = std::find(calls.begin(), calls.end(), ProcessEvent);
    EXPECT_EQ(std::vector<TTriplet>(first, first + 8),
              (std::vector<TTriplet>{ProcessEvent, NativeGet, NativeGet, NativeGet, Reset, ProcessEvent, NativeGet,
                                     EndXfer}));
    EXPECT_TRUE(Boxes.empty());

    GManagerScript = {};
    Script().Transfers = {{TWRC_XFERDONE, SmallDib(6), 0}};
    EXPECT_EQ(TopLeft(Acquire()), 6u);
}

TEST_F(TAcquireNativeTest, RefusesDibsThatDoNotFitTheirBlock)
{
    auto withHeader = [](std::uint32_t biSize) {
        std::vector<std::uint8_t> dib = SmallDib(1);
        std::memcpy(dib.data(), &biSize, 4);
        return dib;
    };
    auto cut = [](std::vector<std::uint8_t> dib, std::size_t size) {
        dib.resize(size);
        return dib;
    };
    struct TCase {
        const char *Description;
        std::vector<std::uint8_t> Dib;
    } cases[] = {
        {"header larger than the block", withHeader(100000)},
        {"header of an unknown size", withHeader(20)},
        {"pixel rows cut short", cut(SmallDib(1), 50)},
        {"colour table past the end", cut(MakeDib({.BitCount = 8}, {}), 300)},
        {"bit field masks past the end", cut(MakeDib({.BitCount = 32, .Compression = BI_BITFIELDS}, {}), 44)},
        {"a block of two bytes", cut(SmallDib(1), 2)},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        GManagerScript = {};
        // Three refused images in a row give up the batch like failed transfers.
        Script().Transfers = {{TWRC_XFERDONE, c.Dib, 5}, {TWRC_XFERDONE, c.Dib, 4}, {TWRC_XFERDONE, c.Dib, 3}};
        EXPECT_EQ(Acquire(), nullptr);
        EXPECT_EQ(TWAIN_ImageCount(), 0);
        EXPECT_EQ(Gets(), 3u);
        EXPECT_EQ(Resets(), 1u);
        EXPECT_TRUE(Boxes.empty());
    }
}

TEST_F(TAcquireNativeTest, IsNeverStrandedInStateSixOrSeven)
{
    const std::vector<TTriplet> forcedDown = {EndXfer, Reset, DisableDS, CloseDS, CloseDSM};
    struct TCase {
        const char *Description;
        void (*Arrange)(TManagerScript &);
        bool Image;
        std::vector<TTriplet> LastCalls;
    } cases[] = {
        {"end of transfer refused after an image",
         [](TManagerScript &s) {
             s.EndXferResult = TWRC_FAILURE;
             s.Transfers = {{TWRC_XFERDONE, SmallDib(1), 0}};
         },
         true, forcedDown},
        {"end of transfer and reset refused after a cancel, then closed",
         [](TManagerScript &s) {
             s.EndXferResult = TWRC_FAILURE;
             s.ResetResult = TWRC_FAILURE;
             s.Transfers = {{TWRC_CANCEL, {}, 0}};
         },
         false, forcedDown},
        {"disabling refused",
         [](TManagerScript &s) {
             s.DisableResult = TWRC_FAILURE;
             s.Transfers = {{TWRC_XFERDONE, SmallDib(1), 0}};
         },
         true,
         {EndXfer, DisableDS, DisableDS, DisableDS}},
        {"closing the source refused",
         [](TManagerScript &s) {
             s.CloseDSResult = TWRC_FAILURE;
             s.Events = {MSG_CLOSEDSREQ};
         },
         false,
         {DisableDS, CloseDS, CloseDS}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        GManagerScript = {};
        c.Arrange(Script());
        EXPECT_EQ(Acquire() != nullptr, c.Image);
        const std::vector<TTriplet> &calls = Script().Calls;
        ASSERT_GE(calls.size(), c.LastCalls.size());
        EXPECT_EQ(std::vector<TTriplet>(calls.end() - c.LastCalls.size(), calls.end()), c.LastCalls);

        GManagerScript = {};
        Script().Transfers = {{TWRC_XFERDONE, SmallDib(9), 0}};
        EXPECT_EQ(TopLeft(Acquire()), 9u);
        EXPECT_EQ(Script().Calls.front(), OpenDSM);
        EXPECT_TRUE(Boxes.empty());
    }
}

TEST_F(TAcquireNativeTest, StopsAfterTheNineHundredNinetyNinthImage)
{
    for (int i = 1; i <= 1005; ++i)
        Script().Transfers.push_back({TWRC_XFERDONE, SmallDib(static_cast<std::uint32_t>(i)), 0xFFFF});
    TW_HANDLE dib = Acquire();

    EXPECT_EQ(TWAIN_ImageCount(), 999);
    EXPECT_EQ(TopLeft(dib), 999u);
    EXPECT_EQ(TWAIN_ImageHandle(998), dib);
    EXPECT_EQ(Gets(), 999u);
    EXPECT_EQ(Resets(), 1u);
    EXPECT_EQ(Script().Transfers.size(), 6u);
}

TEST_F(TAcquireNativeTest, AQuitRequestEndsTheLoopAndTearsDown)
{
    Script().WhenNoEvents = MSG_NULL;
    Script().Events = {};
    QTimer::singleShot(30, [] { QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit)); });
    EXPECT_EQ(Acquire(), nullptr);
    EXPECT_GT(Script().Count(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT), 0u);
    EXPECT_EQ(Script().Calls.back(), CloseDSM);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TAcquireNativeTest, AWindowlessCallerGetsAProxyWindow)
{
    for (WId window : {WId{0}, WId{0x7FFFFFF0}}) {
        GManagerScript = {};
        Script().Transfers = {{TWRC_XFERDONE, SmallDib(1), 0}};
        TW_HANDLE dib = TWAIN_AcquireNative(window, 0);
        Owned.push_back(dib);
        EXPECT_NE(dib, nullptr);
        WId proxy = reinterpret_cast<WId>(Script().Parent);
        EXPECT_NE(proxy, 0u);
        EXPECT_NE(proxy, Handle);
        EXPECT_FALSE(IsWindow(proxy));
    }
    EXPECT_TRUE(Boxes.empty());
}

} // namespace
} // namespace vantorel::test
