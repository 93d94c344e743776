#include "Icons.h"

#include <array>
#include <cmath>
#include <functional>
#include <numbers>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

// The cursors live in the program's resource file, which sits in a static library: without this
// call the linker may leave its registration out.
static void InitVantorelResources() { Q_INIT_RESOURCE(vantorel); }

namespace vantorel {

namespace {

// Every glyph is drawn on a 16 x 16 grid and scaled to the pixmap, so the 24-pixel version keeps
// the proportions of the 16-pixel one.
using TGlyphPainter = std::function<void(QPainter &)>;

const QColor kInk(0x3a, 0x44, 0x50);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kFolderBack(0xd9, 0xa4, 0x2e);
const QColor kFolderFront(0xf6, 0xcd, 0x5b);
const QColor kFolderInk(0x8f, 0x63, 0x0f);
const QColor kBlue(0x2f, 0x6d, 0xc8);
const QColor kLightBlue(0xa9, 0xd3, 0xf5);
const QColor kGreen(0x2f, 0x9e, 0x44);
const QColor kRed(0xd3, 0x2f, 0x2f);
const QColor kSun(0xff, 0xc9, 0x2a);
const QColor kGrey(0xb9, 0xc0, 0xc8);

QPen Pen(const QColor &color, qreal width = 1.0)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPixmap PaintGlyph(int size, const TGlyphPainter &paint)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    paint(painter);
    return pixmap;
}

QIcon IconFromGlyph(const TGlyphPainter &paint)
{
    QIcon icon;
    for (const int size : {16, 24})
        icon.addPixmap(PaintGlyph(size, paint));
    return icon;
}

// A filled arrow head whose tip is at `tip`, pointing along the angle (degrees, 0 = right,
// counted clockwise as the y axis points down).
void ArrowHead(QPainter &p, QPointF tip, qreal angle, qreal length, const QColor &color)
{
    const qreal a = qDegreesToRadians(angle);
    const QPointF back(-std::cos(a) * length, -std::sin(a) * length);
    const QPointF side(-std::sin(a) * length * 0.6, std::cos(a) * length * 0.6);
    p.setPen(Pen(color, 0.8));
    p.setBrush(color);
    p.drawPolygon(QPolygonF({tip, tip + back + side, tip + back - side}));
}

void DrawFolder(QPainter &p, const QRectF &r)
{
    // Back with its tab, then the front flap a little lower.
    QPainterPath back;
    back.moveTo(r.left(), r.top());
    back.lineTo(r.left() + r.width() * 0.38, r.top());
    back.lineTo(r.left() + r.width() * 0.48, r.top() + 1.5);
    back.lineTo(r.right(), r.top() + 1.5);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.setPen(Pen(kFolderInk));
    p.setBrush(kFolderBack);
    p.drawPath(back);
    p.setBrush(kFolderFront);
    p.drawRect(QRectF(r.left(), r.top() + 3.0, r.width(), r.height() - 3.0));
}

void DrawLogo(QPainter &p)
{
    p.setPen(Pen(kInk));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(3, 4, 10, 8));
    p.setBrush(kSun);
    p.drawEllipse(QPointF(10.5, 6.2), 1.5, 1.5);
    p.setBrush(kGreen);
    p.drawPolygon(
        QPolygonF({QPointF(3, 12), QPointF(6.3, 7.3), QPointF(8.8, 10.2), QPointF(10.3, 8.8), QPointF(13, 12)}));
}

void DrawFolderGlyph(QPainter &p) { DrawFolder(p, QRectF(1.5, 2.5, 13, 11)); }

void DrawOpen(QPainter &p)
{
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 2.5);
    back.lineTo(6.0, 2.5);
    back.lineTo(7.3, 4.0);
    back.lineTo(12.5, 4.0);
    back.lineTo(12.5, 13.5);
    back.closeSubpath();
    p.setPen(Pen(kFolderInk));
    p.setBrush(kFolderBack);
    p.drawPath(back);
    // The front flap folded open towards the viewer.
    p.setBrush(kFolderFront);
    p.drawPolygon(QPolygonF({QPointF(4.0, 7.0), QPointF(15.0, 7.0), QPointF(12.5, 13.5), QPointF(1.5, 13.5)}));
}

void DrawSave(QPainter &p)
{
    p.setPen(Pen(QColor(0x1f, 0x4a, 0x8c)));
    p.setBrush(kBlue);
    QPainterPath body;
    body.moveTo(1.5, 1.5);
    body.lineTo(12.5, 1.5);
    body.lineTo(14.5, 3.5);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 2, 8, 5));
    p.setBrush(kGrey);
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
    p.setBrush(kInk);
    p.drawRect(QRectF(9, 10.5, 1.5, 3));
}

void DrawScanner(QPainter &p)
{
    // A flatbed seen from above the front: the lid raised at the back, the glass with the light
    // bar across it, and the low body. No sheet sticks out, which would read as a printer.
    const QColor lightBar(0x1f, 0xd1, 0x6a);
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(QColor(0x6f, 0x78, 0x84));
    p.drawPolygon(QPolygonF({QPointF(3.5, 6.0), QPointF(15.0, 6.0), QPointF(15.5, 1.0), QPointF(4.5, 1.0)}));
    p.setBrush(QColor(0x8d, 0x96, 0xa1));
    p.drawPolygon(QPolygonF({QPointF(0.5, 11.0), QPointF(13.0, 11.0), QPointF(13.0, 14.0), QPointF(0.5, 14.0)}));
    p.drawPolygon(QPolygonF({QPointF(13.0, 11.0), QPointF(15.5, 6.0), QPointF(15.5, 9.0), QPointF(13.0, 14.0)}));
    p.setBrush(kGrey);
    p.drawPolygon(QPolygonF({QPointF(3.0, 6.0), QPointF(15.5, 6.0), QPointF(13.0, 11.0), QPointF(0.5, 11.0)}));
    p.setPen(Qt::NoPen);
    p.setBrush(kLightBlue);
    p.drawPolygon(QPolygonF({QPointF(3.9, 6.8), QPointF(14.0, 6.8), QPointF(12.3, 10.2), QPointF(2.2, 10.2)}));
    p.setPen(Pen(lightBar, 1.4));
    p.drawLine(QPointF(3.4, 8.5), QPointF(12.9, 8.5));
    p.setPen(Qt::NoPen);
    p.setBrush(lightBar);
    p.drawEllipse(QPointF(2.5, 12.5), 0.8, 0.8);
}

void DrawGrab(QPainter &p)
{
    p.setPen(Pen(kInk));
    p.setBrush(kGrey);
    p.drawRect(QRectF(6.5, 11.5, 3, 2));
    p.drawLine(QPointF(4.5, 14.5), QPointF(11.5, 14.5));
    QLinearGradient desktop(QPointF(0, 2), QPointF(0, 11));
    desktop.setColorAt(0, QColor(0x4f, 0x8f, 0xdc));
    desktop.setColorAt(1, QColor(0x2a, 0x5e, 0xa8));
    p.setBrush(desktop);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 10), 0.8, 0.8);
    // The dashed selection on the screen: black dashes over white, so it shows on any colour.
    const QRectF selection(4.5, 4.0, 7, 5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kPaper, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(selection);
    QPen dashes(Qt::black, 1.0, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashes.setDashPattern({2.0, 2.0});
    p.setPen(dashes);
    p.drawRect(selection);
}

void DrawPhone(QPainter &p, const QRectF &r)
{
    p.setPen(Pen(QColor(0x1d, 0x24, 0x2c)));
    p.setBrush(QColor(0x4a, 0x55, 0x63));
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(r.left() + 1.2, r.top() + 1.5, r.width() - 2.4, r.height() * 0.55));
    p.setBrush(kGrey);
    p.drawEllipse(QPointF(r.center().x(), r.bottom() - 1.6), 0.8, 0.8);
}

// A red square: what the upload button turns into while an upload runs.
void DrawStopUpload(QPainter &p)
{
    p.setPen(Pen(QColor(0x8e, 0x16, 0x16)));
    p.setBrush(kRed);
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 1.2, 1.2);
}

void DrawUpload(QPainter &p)
{
    DrawPhone(p, QRectF(4.5, 7.0, 7, 8.5));
    p.setPen(Pen(QColor(0x1e, 0x6e, 0x2e), 0.8));
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({QPointF(8, 0.5), QPointF(12.5, 4.5), QPointF(9.6, 4.5), QPointF(9.6, 6.3),
                             QPointF(6.4, 6.3), QPointF(6.4, 4.5), QPointF(3.5, 4.5)}));
}

void DrawNewFolder(QPainter &p)
{
    DrawFolder(p, QRectF(0.5, 4.5, 12, 10));
    // A green plus with a white rim, so it stands out against the folder.
    p.setPen(Pen(kPaper, 3.6));
    p.drawLine(QPointF(12.5, 1.5), QPointF(12.5, 7.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(15.5, 4.5));
    p.setPen(QPen(kGreen, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(12.5, 1.5), QPointF(12.5, 7.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(15.5, 4.5));
}

void DrawRename(QPainter &p)
{
    // A text line being written on, and the pencil across it.
    p.setPen(Pen(kInk, 1.0));
    p.drawLine(QPointF(1.5, 14.5), QPointF(8.5, 14.5));
    p.save();
    p.translate(3.2, 12.8);
    p.rotate(-45);
    p.setPen(Pen(QColor(0x7a, 0x4c, 0x12), 0.8));
    p.setBrush(QColor(0xf4, 0xb4, 0x3c));
    p.drawRect(QRectF(3.0, -1.6, 8.0, 3.2));
    p.setBrush(QColor(0xe8, 0x8f, 0xa6));
    p.drawRoundedRect(QRectF(11.0, -1.6, 2.2, 3.2), 0.6, 0.6);
    p.setBrush(QColor(0xf3, 0xdc, 0xb0));
    p.drawPolygon(QPolygonF({QPointF(0.0, 0.0), QPointF(3.0, -1.6), QPointF(3.0, 1.6)}));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF({QPointF(0.0, 0.0), QPointF(1.1, -0.6), QPointF(1.1, 0.6)}));
    p.restore();
}

void DrawDelete(QPainter &p)
{
    const QLineF strokes[] = {QLineF(3.5, 3.5, 12.5, 12.5), QLineF(12.5, 3.5, 3.5, 12.5)};
    p.setPen(Pen(QColor(0x8e, 0x16, 0x16), 3.6));
    p.drawLines(strokes, 2);
    p.setPen(Pen(kRed, 2.4));
    p.drawLines(strokes, 2);
}

void DrawConvert(QPainter &p)
{
    // Two arrows chasing each other round a circle: one format becomes another.
    const QRectF circle(2.5, 2.5, 11, 11);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 1.8, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(circle, 25 * 16, 130 * 16);
    ArrowHead(p, QPointF(2.0, 7.3), 100, 3.2, kBlue);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGreen, 1.8, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(circle, 205 * 16, 130 * 16);
    ArrowHead(p, QPointF(14.0, 8.7), -80, 3.2, kGreen);
}

void DrawMirror(QPainter &p)
{
    p.setPen(Pen(QColor(0x1f, 0x4a, 0x8c)));
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({QPointF(6.0, 3.0), QPointF(6.0, 13.0), QPointF(0.8, 13.0)}));
    p.setBrush(kLightBlue);
    p.drawPolygon(QPolygonF({QPointF(10.0, 3.0), QPointF(10.0, 13.0), QPointF(15.2, 13.0)}));
    QPen axis(kInk, 1.0, Qt::CustomDashLine, Qt::FlatCap);
    axis.setDashPattern({1.5, 1.0});
    p.setPen(axis);
    p.drawLine(QPointF(8, 0.5), QPointF(8, 15.5));
}

void DrawRotate(QPainter &p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 110 * 16, -290 * 16);
    ArrowHead(p, QPointF(4.4, 2.3), 215, 4.2, kBlue);
}

void DrawOptions(QPainter &p)
{
    // A gear: eight teeth round a wheel with a hole.
    const QPointF c(8, 8);
    const int teeth = 8;
    QPolygonF outline;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal angle = (i - 1.5) * 2.0 * std::numbers::pi / (teeth * 4);
        const qreal radius = (i % 4 < 2) ? 7.2 : 5.4;
        outline << c + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
    }
    QPainterPath gear;
    gear.addPolygon(outline);
    gear.closeSubpath();
    gear.addEllipse(c, 2.2, 2.2);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(Pen(QColor(0x44, 0x4c, 0x56), 0.9));
    QRadialGradient shade(QPointF(6, 6), 9);
    shade.setColorAt(0, QColor(0xc9, 0xcf, 0xd6));
    shade.setColorAt(1, QColor(0x7d, 0x87, 0x93));
    p.setBrush(shade);
    p.drawPath(gear);
}

void DrawFitToPane(QPainter &p)
{
    p.setPen(Pen(kInk));
    p.setBrush(kPaper);
    p.drawRect(QRectF(0.5, 0.5, 15, 15));
    p.setBrush(kLightBlue);
    p.setPen(Pen(kBlue));
    p.drawRect(QRectF(5.5, 5.5, 5, 5));
    // Four arrows from the corners towards the picture.
    const struct {
        QPointF from, to;
        qreal angle;
    } arrows[] = {{{2, 2}, {4.6, 4.6}, 45},
                  {{14, 2}, {11.4, 4.6}, 135},
                  {{14, 14}, {11.4, 11.4}, 225},
                  {{2, 14}, {4.6, 11.4}, 315}};
    for (const auto &arrow : arrows) {
        p.setPen(Pen(kGreen, 1.2));
        p.drawLine(arrow.from, arrow.to);
        ArrowHead(p, arrow.to, arrow.angle, 2.4, kGreen);
    }
}

void DrawLinks(QPainter &p)
{
    const QPointF c(8, 8);
    QRadialGradient sea(QPointF(6, 5.5), 9);
    sea.setColorAt(0, QColor(0x8c, 0xc8, 0xf5));
    sea.setColorAt(1, kBlue);
    p.setPen(Pen(QColor(0x1f, 0x4a, 0x8c)));
    p.setBrush(sea);
    p.drawEllipse(c, 6.8, 6.8);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(QColor(255, 255, 255, 200), 0.8));
    p.drawEllipse(c, 3.0, 6.8);
    p.drawLine(QPointF(8, 1.2), QPointF(8, 14.8));
    p.drawLine(QPointF(1.2, 8), QPointF(14.8, 8));
    p.drawLine(QPointF(2.6, 4.6), QPointF(13.4, 4.6));
    p.drawLine(QPointF(2.6, 11.4), QPointF(13.4, 11.4));
}

void DrawBlueDisc(QPainter &p)
{
    QRadialGradient shade(QPointF(6, 5), 10);
    shade.setColorAt(0, QColor(0x5c, 0x9c, 0xf0));
    shade.setColorAt(1, QColor(0x1f, 0x56, 0xa8));
    p.setPen(Pen(QColor(0x17, 0x40, 0x80)));
    p.setBrush(shade);
    p.drawEllipse(QPointF(8, 8), 7, 7);
}

void DrawHelpContents(QPainter &p)
{
    DrawBlueDisc(p);
    QPainterPath hook;
    hook.moveTo(5.6, 6.2);
    hook.arcTo(QRectF(5.6, 3.4, 4.8, 4.6), 180, -270);
    hook.quadTo(QPointF(8, 8.2), QPointF(8, 9.8));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kPaper, 1.7, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(8, 12), 1.05, 1.05);
}

void DrawSendToFriend(QPainter &p)
{
    p.setPen(Pen(kInk));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.setBrush(QColor(0xee, 0xf1, 0xf5));
    p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 8.8), QPointF(14.5, 3.5)}));
    p.drawLine(QPointF(1.5, 12.5), QPointF(6.2, 8.2));
    p.drawLine(QPointF(14.5, 12.5), QPointF(9.8, 8.2));
}

void DrawAbout(QPainter &p)
{
    DrawBlueDisc(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(8, 4.6), 1.2, 1.2);
    p.drawRoundedRect(QRectF(6.9, 6.8, 2.2, 5.8), 0.5, 0.5);
}

void DrawExit(QPainter &p)
{
    // An open door with an arrow leaving through it.
    p.setPen(Pen(kInk));
    p.setBrush(QColor(0xee, 0xee, 0xee));
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    p.setBrush(QColor(0xa0, 0x62, 0x2d));
    p.drawPolygon(QPolygonF({QPointF(1.5, 1.5), QPointF(6.0, 3.0), QPointF(6.0, 15.0), QPointF(1.5, 14.5)}));
    p.setPen(Qt::NoPen);
    p.setBrush(kSun);
    p.drawEllipse(QPointF(5.0, 8.8), 0.6, 0.6);
    p.setPen(QPen(kGreen, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(7.5, 8), QPointF(12.0, 8));
    ArrowHead(p, QPointF(15.5, 8), 0, 4.0, kGreen);
}

struct TThemedIcon {
    TIconId Id;
    const char *ThemeName;
    void (*Paint)(QPainter &);
};

const std::array<TThemedIcon, 21> kIcons = {{
    {TIconId::Logo, "image-x-generic", DrawLogo},
    {TIconId::Folder, "folder", DrawFolderGlyph},
    {TIconId::Open, "document-open", DrawOpen},
    {TIconId::Save, "document-save", DrawSave},
    {TIconId::ImportFromTWAIN, "scanner", DrawScanner},
    {TIconId::GrabFromScreen, "applets-screenshooter", DrawGrab},
    {TIconId::Upload, "document-send", DrawUpload},
    {TIconId::NewFolder, "folder-new", DrawNewFolder},
    {TIconId::Rename, "edit-rename", DrawRename},
    {TIconId::Delete, "edit-delete", DrawDelete},
    {TIconId::Convert, "view-refresh", DrawConvert},
    {TIconId::Mirror, "object-flip-horizontal", DrawMirror},
    {TIconId::Rotate, "object-rotate-right", DrawRotate},
    {TIconId::Options, "preferences-system", DrawOptions},
    {TIconId::FitToPane, "zoom-fit-best", DrawFitToPane},
    {TIconId::Links, "applications-internet", DrawLinks},
    {TIconId::HelpContents, "help-contents", DrawHelpContents},
    {TIconId::SendToFriend, "mail-send", DrawSendToFriend},
    {TIconId::About, "help-about", DrawAbout},
    {TIconId::Exit, "application-exit", DrawExit},
    {TIconId::StopUpload, "process-stop", DrawStopUpload},
}};

// The program's picture on a 64 x 64 grid: a mobile phone whose screen shows a small landscape.
void PaintProgramPicture(QPainter &p)
{
    const QRectF body(15, 2.5, 34, 59);
    QLinearGradient metal(body.topLeft(), body.topRight());
    metal.setColorAt(0, QColor(0x3d, 0x4b, 0x5c));
    metal.setColorAt(0.5, QColor(0x56, 0x66, 0x7a));
    metal.setColorAt(1, QColor(0x2a, 0x34, 0x40));
    p.setPen(QPen(QColor(0x16, 0x1c, 0x24), 1.5));
    p.setBrush(metal);
    p.drawRoundedRect(body, 7, 7);

    // Ear piece and the one button.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1a, 0x21, 0x29));
    p.drawRoundedRect(QRectF(26, 6.5, 12, 2.5), 1.2, 1.2);
    p.setBrush(QColor(0x9a, 0xa6, 0xb4));
    p.drawEllipse(QPointF(32, 55), 3.2, 3.2);

    // The screen with its picture.
    const QRectF screen(19, 12, 26, 36);
    QLinearGradient sky(screen.topLeft(), screen.bottomLeft());
    sky.setColorAt(0, QColor(0x3f, 0x8f, 0xe6));
    sky.setColorAt(1, QColor(0xbf, 0xe3, 0xff));
    p.setPen(QPen(QColor(0x10, 0x14, 0x1a), 1.0));
    p.setBrush(sky);
    p.drawRect(screen);
    p.setPen(Qt::NoPen);
    p.setBrush(kSun);
    p.drawEllipse(QPointF(37.5, 20.5), 4, 4);
    p.setBrush(QColor(0x3c, 0xa5, 0x4a));
    QPainterPath hills;
    hills.moveTo(screen.left(), 40);
    hills.quadTo(QPointF(25, 29), QPointF(31, 36));
    hills.quadTo(QPointF(37, 30), QPointF(screen.right(), 37));
    hills.lineTo(screen.bottomRight());
    hills.lineTo(screen.bottomLeft());
    hills.closeSubpath();
    p.drawPath(hills);
    p.setBrush(QColor(0x2a, 0x7f, 0x38));
    QPainterPath front;
    front.moveTo(screen.left(), 46);
    front.quadTo(QPointF(33, 38), QPointF(screen.right(), 44));
    front.lineTo(screen.bottomRight());
    front.lineTo(screen.bottomLeft());
    front.closeSubpath();
    p.drawPath(front);

    // A faint gloss over the upper half of the body.
    QLinearGradient gloss(body.topLeft(), QPointF(body.left(), body.center().y()));
    gloss.setColorAt(0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawRoundedRect(body.adjusted(1.5, 1.5, -1.5, -body.height() / 2), 6, 6);
}

QCursor LoadCursor(const char *resource, Qt::CursorShape fallback)
{
    InitVantorelResources();
    QPixmap pixmap;
    if (!pixmap.load(QString::fromLatin1(resource), "XPM"))
        return QCursor(fallback);
    // Both hands have their palm at the same place in the 32 x 32 picture.
    return QCursor(pixmap, 15, 15);
}

} // namespace

QIcon IconFor(TIconId id)
{
    for (const TThemedIcon &entry : kIcons) {
        if (entry.Id != id)
            continue;
        const QString name = QString::fromLatin1(entry.ThemeName);
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
        return IconFromGlyph(entry.Paint);
    }
    return QIcon();
}

QIcon ProgramIcon() { return QIcon::fromTheme(QStringLiteral("vantorel"), DrawnProgramIcon()); }

QIcon DrawnProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 64.0, size / 64.0);
        PaintProgramPicture(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap UploadBoxBitmap()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(8, 8), 8);
    glow.setColorAt(0, QColor(0xdc, 0xee, 0xff));
    glow.setColorAt(0.55, QColor(0x7f, 0xaf, 0xe8));
    glow.setColorAt(1, QColor(0x3b, 0x6c, 0xb4));
    p.setPen(QPen(QColor(0x4a, 0x58, 0x6a), 1.0));
    p.setBrush(glow);
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
    return pixmap;
}

QPixmap UploadGlyph()
{
    return PaintGlyph(16, [](QPainter &p) {
        p.setPen(Pen(QColor(0x1e, 0x6e, 0x2e)));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(14.5, 8), QPointF(10.5, 8), QPointF(10.5, 14.5),
                                 QPointF(5.5, 14.5), QPointF(5.5, 8), QPointF(1.5, 8)}));
    });
}

QPixmap StopUploadGlyph() { return PaintGlyph(16, DrawStopUpload); }

QCursor HandFlatCursor() { return LoadCursor(":/HANDFLATCURSOR", Qt::OpenHandCursor); }

QCursor HandGrabCursor() { return LoadCursor(":/HANDGRABCURSOR", Qt::ClosedHandCursor); }

} // namespace vantorel
