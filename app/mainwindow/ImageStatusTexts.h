#pragma once

#include <array>

#include <QString>

class QFontMetrics;

namespace vantorel {

// The texts of the image status bar's four panels: the source picture's size, the selection
// frame in picture coordinates, the logo screen's size and the rendered logo's size.
QString SourceImageText(int width, int height);
QString SourceSelectionText(int left, int top, int width, int height);
QString LogoScreenText(int width, int height);
QString LogoImageText(int width, int height);

// The longest text each panel can show, drawn in the font of metrics: pictures and frames of the
// largest picture sides and coordinates (negative ones too) and logos of the largest logo sides,
// written with the font's widest digit.
std::array<QString, 4> LongestImageStatusTexts(const QFontMetrics &metrics);

} // namespace vantorel
