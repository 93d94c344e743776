#pragma once

class QWidget;

namespace vantorel {

// Moves a window so that its frame is centred on the free area of its screen, whatever window
// owns it. Left where it is when it has no screen.
void CentreOnScreen(QWidget &window);

} // namespace vantorel
