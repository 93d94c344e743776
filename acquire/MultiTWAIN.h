#pragma once

// The TWAIN wrapper: one connection to a source manager per process, kept in module-level state
// and driven through free functions. Results the standard does not fix are 32-bit integers used
// as booleans (1 true, 0 false). Only the UI thread may use it.
//
// The source manager is the shared library "TWAIN_32.DLL" in the Windows folder, which the
// program's entry hands over once (TWAIN_SetWindowsFolder). Memory blocks (capability containers
// and DIBs) have the format of TwainMemory.h; window handles are WIds.
//
// The wrapper's parts: the state layer (TwainStateLayer.h), the capabilities
// (TwainCapabilities.h) and the DIB routines (DibRoutines.h); this header adds the native
// transfer and declares the whole wrapper.

#include <cstdint>
#include <functional>

#include <QtGui/qwindowdefs.h>

#include "DibRoutines.h"
#include "TwainCapabilities.h"
#include "TwainStateLayer.h"
#include "TwainTypes.h"

namespace vantorel {

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

} // namespace vantorel
