#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace vantorel {

// The pictures of the tree, the tool bar and the menus: from the desktop's icon theme where one
// fits, else drawn by the program itself.
enum class TIconId {
    Logo,
    Folder,
    Open,
    Save,
    ImportFromTWAIN,
    GrabFromScreen,
    Upload,
    NewFolder,
    Rename,
    Delete,
    Convert,
    Mirror,
    Rotate,
    Options,
    FitToPane,
    Links,
    HelpContents,
    SendToFriend,
    About,
    Exit,
    StopUpload, // the upload tool button while an upload runs
};

QIcon IconFor(TIconId id);
// The program's own picture (window icon, about box): the installed "vantorel" of the desktop's
// icon theme, else the drawn one.
QIcon ProgramIcon();
// The program's picture as the program draws it; the installed icon files are made from it.
QIcon DrawnProgramIcon();

// The bitmap resources of the main window: the 16 x 16 tile of the upload animation and the two
// glyphs of the upload button.
QPixmap UploadBoxBitmap(); // "UPLOAD_BOX_BMP"
QPixmap UploadGlyph();     // "UPLOAD_BMP"
QPixmap StopUploadGlyph(); // "STOPUPLOAD_BMP"
// The frame-editing cursors: the open hand over the frame, the closed hand while dragging.
QCursor HandFlatCursor(); // "HANDFLATCURSOR"
QCursor HandGrabCursor(); // "HANDGRABCURSOR"

} // namespace vantorel
