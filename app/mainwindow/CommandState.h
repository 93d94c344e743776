#pragma once

#include <string>

#include "LogoDirObject.h"

namespace vantorel {

// Which commands are enabled, which convert items are shown and how the upload items read, for
// the selected node's record (or the root's when nothing is selected) and the running work.
struct TCommandState {
    bool Save = false;
    bool ImportFromTWAIN = false;
    bool GrabFromScreen = false;
    bool Upload = false;
    bool Rename = false;
    bool Delete = false;
    bool Convert = false;
    bool Mirror = false;
    bool Rotate = false;
    bool FitToPane = false;
    bool SendToFriend = false;
    bool Settings = false;
    // Visibility of the convert items: the logo's own format is hidden. Only meaningful when
    // Convert is enabled; otherwise the items keep their visibility.
    bool ShowBMP = true;
    bool ShowJPG = true;
    bool ShowGIF = true;
    bool ShowPNG = true;
    // "Stop upload", "Upload again" or "Upload".
    std::string UploadPopupCaption;

    bool operator==(const TCommandState &) const = default;
};

TCommandState ComputeCommandState(const TLogoDirObject &node, bool uploading, bool sending, bool twainAvailable);

} // namespace vantorel
