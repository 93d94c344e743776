#include "CommandState.h"

#include "TextRules.h"

namespace vantorel {

TCommandState ComputeCommandState(const TLogoDirObject &node, bool uploading, bool sending, bool twainAvailable)
{
    const bool logo = node.Kind == nkLogo;
    const bool root = node.Kind == nkRoot;
    TCommandState s;
    s.Save = logo;
    s.ImportFromTWAIN = twainAvailable;
    s.GrabFromScreen = !uploading;
    s.Upload = logo || uploading; // while an upload runs the command stops it
    s.Rename = !root;
    s.Delete = !root && !uploading;
    s.Convert = s.Mirror = s.Rotate = logo && !uploading;
    s.FitToPane = logo;
    s.SendToFriend = !sending;
    s.Settings = logo && !uploading;
    if (s.Convert) {
        const std::string ext = AsciiUpper(ExtractExtension(node.Name));
        s.ShowBMP = ext != ".BMP";
        s.ShowJPG = ext != ".JPG" && ext != ".JPEG";
        s.ShowGIF = ext != ".GIF";
        s.ShowPNG = ext != ".PNG";
    }
    s.UploadPopupCaption = uploading ? "Stop upload" : (!node.UploadURL.empty() ? "Upload again" : "Upload");
    return s;
}

} // namespace vantorel
