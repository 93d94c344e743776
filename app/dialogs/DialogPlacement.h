#pragma once

class QWidget;

namespace vantorel {

// Moves a window so that its frame is centred on the free area of its screen, whatever window
// owns it. Left where it is when it has no screen.
void CentreOnScreen(QWidget &window);

// Centres a window, frame included, on the free area of the screen that shows its owner, made
// smaller where that area cannot hold it. Before the window is first shown its frame is not known
// yet: the owner's frame, drawn by the same window manager, stands in for it.
void CentreOnOwnersScreen(QWidget &window, const QWidget &owner);

} // namespace vantorel
