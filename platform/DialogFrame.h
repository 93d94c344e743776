#pragma once

class QString;
class QWidget;

namespace vantorel {

// The least width of a window whose caption is to show whole in a window manager's title bar.
int CaptionWidth(const QString &caption);

// Makes a dialog at least as wide as its caption needs. A dialog laid out top to bottom takes
// that width through its layout, which may fix its size; any other as its least width. Call it
// once the dialog has its caption and its layout.
void FitCaption(QWidget &dialog);

} // namespace vantorel
