#pragma once

// The TWAIN wrapper: one connection to a source manager per process, kept in module-level state
// and driven through free functions. Results the standard does not fix are 32-bit integers used
// as booleans (1 true, 0 false). Only the UI thread may use it.
//
// The source manager is the shared library "TWAIN_32.DLL" in the Windows folder, which the
// program's entry hands over once (TWAIN_SetWindowsFolder). Memory blocks (capability containers
// and DIBs) have the format of TwainMemory.h; window handles are WIds.

#include <cstdint>
#include <functional>
#include <string>

#include <QtGui/qwindowdefs.h>

#include "TwainTypes.h"

namespace vantorel {

class TBitmap;

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
std::int32_t TWAIN_SetCapOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value); // state 4 only
std::int32_t TWAIN_SetXferCount(std::int32_t count);
std::int32_t TWAIN_SetCurrentUnits(std::int32_t units);
std::int32_t TWAIN_SetBitDepth(std::int32_t bits);
std::int32_t TWAIN_SetCurrentPixelType(std::int32_t pixelType);
// Copies the current value into value (which must hold the item type's size); true when copied.
std::int32_t TWAIN_GetCapCurrent(TW_UINT16 cap, TW_UINT16 itemType, void *value);
std::int32_t TWAIN_GetCurrentUnits();
std::int32_t TWAIN_GetBitDepth();
std::int32_t TWAIN_GetPixelType();

// ---- Native transfer -------------------------------------------------------------------------

// From state 1 to an enabled default source, a nested event loop while the source's own user
// interface is up (the window disabled meanwhile), every image the source offers by native
// transfer, and back down to state 1. Returns the DIB of the last completed attempt, or 0 (a
// failure has shown its one box; closing the source without an image shows none). The caller
// owns the DIB and frees it with TWAIN_FreeNative. The mask's bit n allows pixel type n; 0 allows
// any, with no negotiation.
//
// The loop: each turn processes Qt events, waiting for more, then offers MSG_PROCESSEVENT (pEvent
// null) to the source; a manager with news but no user event posts an event to wake it. The loop
// ends as well on QEvent::Quit, tearing down to state 1.
//
// The remaining transfers of a batch are reset after three failed or refused attempts in a row,
// and once the image list is full. Completed images other than the returned one are freed before
// it returns; their handles are good only during the acquisition (in the image callback), and
// their slots of the image list read 0 afterwards.
TW_HANDLE TWAIN_AcquireNative(WId window, std::uint32_t pixelTypeMask);
void TWAIN_FreeNative(TW_HANDLE dib);

std::int32_t TWAIN_NegotiatePixelTypes(std::uint32_t mask);
// Rewrites items with the values both in the list and in the mask, ascending; returns how many.
// Values of 32 or more are never in a mask.
TW_UINT32 FilterItemList(std::uint32_t mask, TW_UINT32 count, TW_UINT16 *items);
void TWAIN_ModalEventLoop();
// message: the pEvent handed to the source (null on Linux). True when the source took it.
std::int32_t TWAIN_MessageHook(void *message);
void TWAIN_NativeTransferLoop();

// The images completed in the current acquisition, in order (at most 999).
inline constexpr std::int32_t TWAIN_MaxImages = 999;
void TWAIN_ClearImageList(); // forgets the handles, frees none
std::int32_t TWAIN_ImageCount();
TW_HANDLE TWAIN_ImageHandle(std::int32_t index);
// Called with each completed image and its index in the list.
using TTwainImageCallback = std::function<void(TW_HANDLE dib, std::int32_t index)>;
void TWAIN_SetImageCallback(TTwainImageCallback callback);
void TWAIN_ClearImageCallback();

// In state 6: one transfer without the image list, then TWAIN_EndAllTransfers. Returns the DIB
// or 0.
TW_HANDLE TWAIN_TransferOneImage();
// Ends the transfer in state 7 and drops the pending ones in state 6; true when at state 5 or lower.
std::int32_t TWAIN_EndAllTransfers();
std::int32_t BitCount(std::uint32_t value);

// ---- DIB routines ----------------------------------------------------------------------------

// Width and height in pixels of a DIB handle, both positive: a top-down DIB (negative biHeight)
// has the height of its rows too. 0 for a block that does not hold a whole DIB.
std::int32_t TWAIN_DibWidth(TW_HANDLE dib);
std::int32_t TWAIN_DibHeight(TW_HANDLE dib);
std::int32_t TWAIN_DibDepth(TW_HANDLE dib);
std::int32_t TWAIN_DibNumColors(TW_HANDLE dib);
// The colour table's entries of a DIB header (12- or 40-byte and longer), 0 when it has none.
std::int32_t DibNumColors(const void *header);
// The first pixel row of a DIB: after the header, the colour table and any BI_BITFIELDS masks.
const std::uint8_t *DibBits(const void *header);
// Whether a DIB block is whole: a known header, its colour table, masks and pixel rows all
// inside the block. The routines below draw nothing from a block that is not.
bool TWAIN_DibFitsBlock(TW_HANDLE dib);

// Copies w x h pixels of the DIB from (sx, sy), counted from its top-left corner, to (dx, dy) of
// the bitmap (which stands for the device context), clipped to both. 1-, 4-, 8-, 16-, 24- and
// 32-bit DIBs, BI_RGB or BI_BITFIELDS, bottom-up or top-down.
void TWAIN_DrawDibToDC(TBitmap &dc, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h, TW_HANDLE dib,
                       std::int32_t sx, std::int32_t sy);
// Draws the whole DIB 1:1 at (0, 0) into the picture, which the caller sized to TWAIN_DibWidth x
// TWAIN_DibHeight beforehand. False, drawing nothing, for a DIB whose pixels are of a kind the
// routines cannot draw or that does not fit its block.
bool DrawDibToImage(TW_HANDLE dib, TBitmap &image);

} // namespace vantorel
