#include "ImageStatusTexts.h"

#include <QFontMetrics>

#include "ImageCodecs.h"
#include "LogoIndexFile.h"

namespace vantorel {

QString SourceImageText(int width, int height) { return QStringLiteral("Source Image: %1x%2").arg(width).arg(height); }

QString SourceSelectionText(int left, int top, int width, int height)
{
    return QStringLiteral("Source Selection: (%1,%2):(%3x%4)").arg(left).arg(top).arg(width).arg(height);
}

QString LogoScreenText(int width, int height) { return QStringLiteral("Logo Screen: %1x%2").arg(width).arg(height); }

QString LogoImageText(int width, int height) { return QStringLiteral("Logo Image: %1x%2").arg(width).arg(height); }

std::array<QString, 4> LongestImageStatusTexts(const QFontMetrics &metrics)
{
    // The texts hold the numbers as digits: a number of the font's widest digits is as wide as any
    // other of its length can be. It leads with a digit other than 0.
    const auto widestOf = [&metrics](char16_t from) {
        QChar widest(from);
        for (char16_t digit = from; digit <= u'9'; ++digit)
            if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
                widest = QChar(digit);
        return widest;
    };
    const QChar lead = widestOf(u'1');
    const QChar rest = widestOf(u'0');
    const auto number = [lead, rest](int largest) {
        return (lead + QString(QString::number(largest).size() - 1, rest)).toInt();
    };
    const int picture = number(kMaxPictureSide);
    const int logo = number(kMaxLogoSide);
    // The frame reaches past the picture's edges, so its corner may lie left of or above it.
    return {SourceImageText(picture, picture), SourceSelectionText(-picture, -picture, picture, picture),
            LogoScreenText(logo, logo), LogoImageText(logo, logo)};
}

} // namespace vantorel
