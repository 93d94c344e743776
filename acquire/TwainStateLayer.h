#pragma once

// The state layer of the TWAIN wrapper (MultiTWAIN.h): the source manager's folder, the state
// steps from 1 (manager not loaded) to 5 (source enabled), the two kinds of DSM_Entry call, the
// error record and boxes, the proxy window, availability and source selection.

#include <cstdint>
#include <functional>
#include <string>

#include <QtGui/qwindowdefs.h>

#include "TwainTypes.h"

namespace vantorel {

// ---- Set-up ----------------------------------------------------------------------------------

// The folder that stands for the Windows folder: $VANTOREL_WINDOWS_DIR when set, else the
// program folder.
std::string TWAIN_WindowsFolderFor(const std::string &programFolder);
// Hands over the Windows folder; an empty one means there is no source manager. It also forgets
// the availability answer, so the next TWAIN_IsAvailable looks in the new folder. Only in state 1.
void TWAIN_SetWindowsFolder(const std::string &folder);
// The full path of the source manager file: the folder, "/" unless it already ends with one,
// "TWAIN_32.DLL". Empty when the folder is empty.
std::string TWAIN_ManagerPath();

// The boxes of the wrapper: the error box "TWAIN Error" with a warning icon and the assertion
// box "EZTWAIN" ("Assertion failed") without one. The caller goes on after either.
enum class TTwainBoxIcon { None, Warning };
using TTwainBoxHandler = std::function<void(const std::string &caption, const std::string &text, TTwainBoxIcon icon)>;
// Replaces how boxes are shown (tests record them); an empty handler restores the Qt message box
// without an owner window.
void TWAIN_SetBoxHandler(TTwainBoxHandler handler);

// ---- State layer -----------------------------------------------------------------------------

// The state steps check the state they need, change it only on success and return whether the
// state they aim at has been reached.
std::int32_t TWAIN_LoadSourceManager();            // to 2
std::int32_t TWAIN_OpenSourceManager(WId window);  // to 3 (loads first)
std::int32_t TWAIN_OpenDefaultSource();            // 3 to 4; failure records error 4
std::int32_t TWAIN_EnableSource(WId window);       // 4 to 5; TWRC_FAILURE records error 5
std::int32_t TWAIN_DisableSource();                // 5 to 4
std::int32_t TWAIN_CloseSource();                  // (5 to 4) 4 to 3
std::int32_t TWAIN_CloseSourceManager(WId window); // (5 to 4 to) 3 to 2
std::int32_t TWAIN_UnloadSourceManager();          // 2 to 1

// A call to the manager itself, and one to the open source (asserts state 4 or higher). Both
// keep the return code; true for TWRC_SUCCESS. Without a loaded manager: TWRC_FAILURE, no call.
std::int32_t TWAIN_Mgr(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data);
std::int32_t TWAIN_DS(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data);
TW_UINT16 TWAIN_GetResultCode();
// DAT_STATUS of the source (state 4+) or the manager (state 3); 11 below state 3 without a call,
// 1 when the status call fails.
TW_UINT16 TWAIN_GetConditionCode();

// The error record: only the first code since the last clear is kept.
struct TTwainError {
    std::int32_t Code = 0;       // 0 none; 2-5 and 7-13 as the wrapper records them
    TW_UINT16 ResultCode = 0;    // captured for codes 2-5 only
    TW_UINT16 ConditionCode = 0; // captured for codes 2-5 only
};
void TWAIN_ErrorClear();
std::int32_t TWAIN_RecordError(std::int32_t code); // returns 0
TTwainError TWAIN_LastError();
void TWAIN_ErrorBox(const std::string &text);
void TWAIN_ReportLastError(const std::string &text);
void TWAIN_Assert(bool condition);

// A visible top-level window "Acquire Proxy" for a caller without a usable window; 0 when none
// could be made. Its maker destroys it with DestroyProxyWindow.
WId CreateProxyWindow();
void DestroyProxyWindow(WId window);
// Whether a handle names one of our windows (a zero handle does not).
bool IsWindow(WId window);

// Whether the source manager can be loaded: it is looked for at most once per Windows folder,
// so updating the commands costs no file access.
std::int32_t TWAIN_IsAvailable();
// The manager's source selection dialog; the chosen source becomes its default. True only when
// the user chose one. A zero handle gets a proxy window; a non-zero one that is not a window is
// refused with a box.
std::int32_t TWAIN_SelectImageSource(WId window);

// Operations the program does not call, kept for completeness of the wrapper.
void TWAIN_RegisterApp(std::int32_t majorNum, std::int32_t minorNum, std::int32_t language, std::int32_t country,
                       const char *version, const char *manufacturer, const char *family, const char *product);
std::int32_t TWAIN_WrapperVersion(); // 106
std::int32_t TWAIN_State();
std::int32_t TWAIN_GetHideUI();
void TWAIN_SetHideUI(std::int32_t hide);

namespace twain_detail {
// The TWAIN state, 1 to 7. The native transfer (MultiTWAIN.cpp) moves it through 6 and 7 itself,
// so it is shared with that unit and no other.
extern std::int32_t GState;
} // namespace twain_detail

} // namespace vantorel
