#pragma once

// The source manager's selection dialog: the devices by their identities' names, the default one
// selected; OK is disabled while there is nothing to choose.

#include <vector>

#include <QtGui/qwindowdefs.h>

#include "SaneSources.h"

namespace vantorel {

// Runs the dialog modally over the parent window (none when the handle names no window of the
// process). True with the chosen index when the user chose a device; false on Cancel.
bool RunSaneSelectDialog(WId parent, const std::vector<TSaneDevice> &devices, int defaultIndex, int &chosen);

} // namespace vantorel
