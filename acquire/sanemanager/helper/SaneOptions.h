#pragma once

// What the helper program makes of an open SANE device's options: the pixel types its scan modes
// offer, the scan mode and depth for a type, and its resolution.

#include <vector>

#include <sane/sane.h>

#include "TwainTypes.h"

namespace vantorel {

// The pixel types (TWPT_BW, TWPT_GRAY, TWPT_RGB) the device can scan, ascending, and the one its
// current settings give. A device without a scan mode option offers the type of its current
// frames only.
void ReadPixelTypes(SANE_Handle handle, std::vector<TW_UINT16> &types, TW_UINT16 &type);
// Chooses the scan mode (and the depth: one bit for black and white through a grey mode, at least
// eight otherwise) for an offered type.
SANE_Status ChoosePixelType(SANE_Handle handle, TW_UINT16 type);
// In dots per inch; 0 when the device does not tell.
double Resolution(SANE_Handle handle);

} // namespace vantorel
