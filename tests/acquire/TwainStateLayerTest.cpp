#include "AcquireTestSupport.h"

namespace vantorel::test {
namespace {

class TStateLayerTest : public TTwainTestBase {
protected:
    // Climbs to a state with the steps themselves.
    void Climb(std::int32_t state)
    {
        if (state >= 3 && TWAIN_State() < 3) {
            ASSERT_TRUE(TWAIN_OpenSourceManager(Handle));
        }
        if (state >= 4 && TWAIN_State() < 4) {
            ASSERT_TRUE(TWAIN_OpenDefaultSource());
        }
        if (state >= 5 && TWAIN_State() < 5) {
            ASSERT_TRUE(TWAIN_EnableSource(Handle));
        }
    }
    void Descend()
    {
        TWAIN_CloseSourceManager(Handle);
        TWAIN_UnloadSourceManager();
    }
};

TEST_F(TStateLayerTest, ManagerPathJoinsTheFolderOnce)
{
    struct TCase {
        std::string Folder;
        std::string Path;
    } cases[] = {
        {"/opt/win", "/opt/win/TWAIN_32.DLL"},
        {"/opt/win/", "/opt/win/TWAIN_32.DLL"},
        {"", ""},
        {"/" + std::string(300, 'w'), "/" + std::string(300, 'w') + "/TWAIN_32.DLL"},
    };
    for (const TCase &c : cases) {
        TWAIN_SetWindowsFolder(c.Folder);
        EXPECT_EQ(TWAIN_ManagerPath(), c.Path) << c.Folder;
    }
    TWAIN_SetWindowsFolder("relative");
    EXPECT_EQ(TWAIN_ManagerPath().front(), '/');
}

TEST_F(TStateLayerTest, AvailabilityIsLookedForOncePerFolder)
{
    TTempDir empty;
    TWAIN_SetWindowsFolder(empty.Path());
    EXPECT_FALSE(TWAIN_IsAvailable());
    std::filesystem::copy_file(ACQUIRE_TEST_MANAGER, empty / "TWAIN_32.DLL");
    EXPECT_FALSE(TWAIN_IsAvailable()) << "installed during the run";

    TWAIN_SetWindowsFolder(Folder.Path());
    EXPECT_TRUE(TWAIN_IsAvailable());
    EXPECT_EQ(TWAIN_State(), 1);
    EXPECT_TRUE(Script().Calls.empty());

    TTempDir broken;
    WriteFile(broken / "TWAIN_32.DLL", "not a library");
    TWAIN_SetWindowsFolder(broken.Path());
    EXPECT_FALSE(TWAIN_IsAvailable());
    TWAIN_SetWindowsFolder("");
    EXPECT_FALSE(TWAIN_IsAvailable());
}

TEST_F(TStateLayerTest, SelectsASource)
{
    struct TCase {
        const char *Description;
        WId Window; // 1: the test's window
        TW_UINT16 SelectResult;
        bool Manager;
        std::int32_t Result;
        std::vector<TBox> Boxes;
        std::size_t Calls;
    } cases[] = {
        {"chosen", 1, TWRC_SUCCESS, true, 1, {}, 3},
        {"cancelled", 1, TWRC_CANCEL, true, 0, {}, 3},
        {"no window: a proxy", 0, TWRC_SUCCESS, true, 1, {}, 3},
        {"handle not a window",
         0x7FFFFFF0,
         TWRC_SUCCESS,
         true,
         0,
         {ErrorBox("TWAIN_SelectImageSource: window handle is invalid")},
         0},
        {"no manager", 1, TWRC_SUCCESS, false, 0, {ErrorBox("Unable to load Source Manager (TWAIN_32.DLL)")}, 0},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        GManagerScript = {};
        Boxes.clear();
        Script().UserSelectResult = c.SelectResult;
        TWAIN_SetWindowsFolder(c.Manager ? Folder.Path() : "");
        EXPECT_EQ(TWAIN_SelectImageSource(c.Window == 1 ? Handle : c.Window), c.Result);
        EXPECT_EQ(Boxes, c.Boxes);
        EXPECT_EQ(Script().Calls.size(), c.Calls);
        if (c.Calls) {
            EXPECT_EQ(Script().Calls[1], (TTriplet{DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, false}));
        }
        EXPECT_EQ(TWAIN_State(), 1);
    }
}

TEST_F(TStateLayerTest, ConditionCodeBelowStateThreeNeedsNoCall)
{
    EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_SEQERROR);
    ASSERT_TRUE(TWAIN_LoadSourceManager());
    EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_SEQERROR);
    EXPECT_TRUE(Script().Calls.empty());

    Climb(3);
    Script().ConditionCode = TWCC_BADVALUE;
    EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_BADVALUE);
    Script().StatusResult = TWRC_FAILURE;
    EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_BUMMER);
    Descend();
}

TEST_F(TStateLayerTest, KeepsOnlyTheFirstErrorWithItsCodes)
{
    Climb(4);
    TWAIN_ErrorClear();
    Script().ConditionCode = TWCC_BADCAP;
    TW_CAPABILITY capability{ICAP_UNITS, TWON_ONEVALUE, nullptr};
    EXPECT_FALSE(TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &capability)); // not scripted: fails
    TWAIN_RecordError(2);
    TWAIN_RecordError(13);
    TTwainError error = TWAIN_LastError();
    EXPECT_EQ(error.Code, 2);
    EXPECT_EQ(error.ResultCode, TWRC_FAILURE); // taken before the status call replaced it
    EXPECT_EQ(error.ConditionCode, TWCC_BADCAP);
    EXPECT_EQ(TWAIN_GetResultCode(), TWRC_SUCCESS);

    TWAIN_ErrorClear();
    TWAIN_RecordError(12);
    EXPECT_EQ(TWAIN_LastError().Code, 12);
    EXPECT_EQ(TWAIN_LastError().ResultCode, 0);
    Descend();
}

TEST_F(TStateLayerTest, StepsKeepToTheirStates)
{
    TWAIN_ErrorClear();
    EXPECT_FALSE(TWAIN_NegotiatePixelTypes(0));
    EXPECT_EQ(TWAIN_LastError().Code, 7);
    EXPECT_FALSE(TWAIN_OpenDefaultSource());
    EXPECT_FALSE(TWAIN_EnableSource(Handle));

    // A call to the source below state 4 asserts and is made all the same.
    Climb(3);
    TW_STATUS status{};
    TWAIN_DS(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    EXPECT_EQ(Boxes, (std::vector<TBox>{{"EZTWAIN", "Assertion failed", TTwainBoxIcon::None}}));
    EXPECT_EQ(Script().Calls.back(), (TTriplet{DG_CONTROL, DAT_STATUS, MSG_GET, true}));

    // The close steps start from success, so a step with nothing to do leaves no failure behind.
    EXPECT_FALSE(TWAIN_Mgr(DG_CONTROL, DAT_NULL, MSG_NULL, nullptr));
    EXPECT_TRUE(TWAIN_CloseSource());
    EXPECT_EQ(TWAIN_GetResultCode(), TWRC_SUCCESS);

    // MSG_OPENDSM is sent again above state 2; a refusal then changes nothing.
    Climb(5);
    Script().OpenDSMResult = TWRC_FAILURE;
    EXPECT_TRUE(TWAIN_OpenSourceManager(Handle));
    EXPECT_EQ(TWAIN_State(), 5);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_PARENT, MSG_OPENDSM), 2u);

    // Closing the manager cascades through the source.
    EXPECT_TRUE(TWAIN_CloseSourceManager(Handle));
    EXPECT_EQ(TWAIN_State(), 2);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS), 1u);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS), 1u);
    EXPECT_TRUE(TWAIN_UnloadSourceManager());
}

} // namespace
} // namespace vantorel::test
