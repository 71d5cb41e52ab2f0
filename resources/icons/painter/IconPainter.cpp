// Draws the application icon and the 48 x 48 page icons of the utility: one rounded tile per
// icon, each page in its own hue, with a white glyph drawn on a 48-unit grid. Also draws the
// strip of fourteen 16 x 16 node icons of the Node Config page's list and tree, in the page
// icons' hues, each shape filled with a soft gradient and edged one shade darker.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cstdio>
#include <functional>

namespace {

using Glyph = std::function<void(QPainter&)>;

const QColor kGlyph(255, 255, 255);

QPen glyphPen(qreal width) { return QPen(kGlyph, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void drawTile(QPainter& p, QColor top, QColor bottom)
{
    // A soft shadow under the tile, then the tile with a light rim.
    QPainterPath shadow;
    shadow.addRoundedRect(QRectF(3, 4.5, 42, 42), 9, 9);
    p.fillPath(shadow, QColor(0, 0, 0, 50));
    QPainterPath tile;
    tile.addRoundedRect(QRectF(3, 2.5, 42, 42), 9, 9);
    QLinearGradient fill(0, 2.5, 0, 44.5);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.fillPath(tile, fill);
    p.setPen(QPen(bottom.darker(130), 1));
    p.drawPath(tile);
    QPainterPath gloss;
    gloss.addRoundedRect(QRectF(4, 3.5, 40, 19), 8, 8);
    QLinearGradient shine(0, 3.5, 0, 22.5);
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillPath(gloss, shine);
}

void glyphApplication(QPainter& p)
{
    // Three linked nodes beneath a server: the utility that configures the server's nodes.
    p.setPen(glyphPen(2.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(13, 9.5, 22, 9), 2, 2);
    p.drawLine(QPointF(24, 18.5), QPointF(24, 25));
    p.drawLine(QPointF(14, 31), QPointF(34, 31));
    p.drawLine(QPointF(24, 25), QPointF(14, 31));
    p.drawLine(QPointF(24, 25), QPointF(34, 31));
    p.setBrush(kGlyph);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(14, 33), 4.2, 4.2);
    p.drawEllipse(QPointF(34, 33), 4.2, 4.2);
    p.drawEllipse(QPointF(24, 25), 3.6, 3.6);
    p.drawEllipse(QPointF(17.5, 14), 1.5, 1.5);
}

void glyphStatus(QPainter& p)
{
    // A pulse line across a monitor.
    p.setBrush(Qt::NoBrush);
    p.setPen(glyphPen(2.4));
    p.drawRoundedRect(QRectF(10, 11, 28, 20), 2.5, 2.5);
    p.drawLine(QPointF(20, 36), QPointF(28, 36));
    p.drawLine(QPointF(24, 31), QPointF(24, 36));
    QPainterPath pulse;
    pulse.moveTo(13, 22);
    pulse.lineTo(18, 22);
    pulse.lineTo(21, 15.5);
    pulse.lineTo(25, 27.5);
    pulse.lineTo(28, 20);
    pulse.lineTo(35, 20);
    p.setPen(glyphPen(2.2));
    p.drawPath(pulse);
}

void glyphEndpoints(QPainter& p)
{
    // A globe with a plug: where clients connect.
    p.setBrush(Qt::NoBrush);
    p.setPen(glyphPen(2.2));
    const QPointF c(21, 22);
    p.drawEllipse(c, 11, 11);
    p.drawEllipse(c, 4.8, 11);
    p.drawLine(QPointF(10, 22), QPointF(32, 22));
    p.drawLine(QPointF(12, 16.5), QPointF(30, 16.5));
    p.drawLine(QPointF(12, 27.5), QPointF(30, 27.5));
    p.setPen(Qt::NoPen);
    p.setBrush(kGlyph);
    p.drawRoundedRect(QRectF(28, 29, 10, 9), 2, 2);
    p.setPen(glyphPen(2));
    p.drawLine(QPointF(31, 29), QPointF(31, 26));
    p.drawLine(QPointF(35, 29), QPointF(35, 26));
    p.drawLine(QPointF(33, 38), QPointF(33, 40));
}

void glyphUsers(QPainter& p)
{
    // Two people, the front one whole.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(QPointF(30, 16), 4.6, 4.6);
    QPainterPath back;
    back.addRoundedRect(QRectF(22.5, 22, 15, 13), 6.5, 6.5);
    p.drawPath(back);
    p.setBrush(kGlyph);
    p.drawEllipse(QPointF(20, 18), 5.6, 5.6);
    QPainterPath front;
    front.addRoundedRect(QRectF(10.5, 25, 19, 14), 7.5, 7.5);
    p.drawPath(front);
}

void glyphNodeConfig(QPainter& p)
{
    // A node tree with a bell: variables with alarms and history.
    p.setBrush(Qt::NoBrush);
    p.setPen(glyphPen(2.2));
    p.drawLine(QPointF(14, 14), QPointF(14, 34));
    p.drawLine(QPointF(14, 22), QPointF(21, 22));
    p.drawLine(QPointF(14, 34), QPointF(21, 34));
    p.setPen(Qt::NoPen);
    p.setBrush(kGlyph);
    p.drawRoundedRect(QRectF(9.5, 9.5, 9, 9), 2, 2);
    p.drawRoundedRect(QRectF(21, 18.5, 7, 7), 1.5, 1.5);
    p.drawRoundedRect(QRectF(21, 30.5, 7, 7), 1.5, 1.5);
    QPainterPath bell;
    bell.moveTo(30, 24);
    bell.cubicTo(30, 17.5, 32, 14, 35, 14);
    bell.cubicTo(38, 14, 40, 17.5, 40, 24);
    bell.lineTo(41.5, 26.5);
    bell.lineTo(28.5, 26.5);
    bell.closeSubpath();
    p.drawPath(bell);
    p.drawEllipse(QPointF(35, 28.5), 2, 2);
}

void glyphDatabase(QPainter& p)
{
    // A database cylinder.
    p.setPen(glyphPen(2.3));
    p.setBrush(Qt::NoBrush);
    const QRectF top(12, 9.5, 24, 8);
    p.drawEllipse(top);
    p.drawLine(QPointF(12, 13.5), QPointF(12, 34.5));
    p.drawLine(QPointF(36, 13.5), QPointF(36, 34.5));
    p.drawArc(QRectF(12, 30.5, 24, 8), 180 * 16, 180 * 16);
    p.drawArc(QRectF(12, 17.5, 24, 8), 180 * 16, 180 * 16);
    p.drawArc(QRectF(12, 24, 24, 8), 180 * 16, 180 * 16);
}

// The hues of the page icons, shared by the node icons.
const QColor kGreen(76, 175, 80);
const QColor kBlue(66, 165, 245);
const QColor kOrange(255, 167, 38);
const QColor kPurple(171, 71, 188);
const QColor kRed(229, 57, 53);
const QColor kGrey(120, 134, 150);
const QColor kYellow(255, 202, 40);

/// Fills a shape with a top-lit gradient of `hue` and edges it one shade darker.
void fillShape(QPainter& p, const QPainterPath& shape, QColor hue)
{
    QLinearGradient fill(0, shape.boundingRect().top(), 0, shape.boundingRect().bottom());
    fill.setColorAt(0, hue.lighter(125));
    fill.setColorAt(1, hue);
    p.setPen(QPen(hue.darker(150), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(shape);
}

void nodeFolder(QPainter& p)
{
    QPainterPath folder;
    folder.moveTo(1.5, 4);
    folder.lineTo(6, 4);
    folder.lineTo(7.5, 5.5);
    folder.lineTo(14.5, 5.5);
    folder.lineTo(14.5, 13.5);
    folder.lineTo(1.5, 13.5);
    folder.closeSubpath();
    fillShape(p, folder, kYellow);
    p.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
    p.drawLine(QPointF(2.5, 7), QPointF(13.5, 7));
}

void nodeCube(QPainter& p)
{
    QPainterPath top;
    top.moveTo(8, 1.5);
    top.lineTo(14, 4.5);
    top.lineTo(8, 7.5);
    top.lineTo(2, 4.5);
    top.closeSubpath();
    QPainterPath left;
    left.moveTo(2, 4.5);
    left.lineTo(8, 7.5);
    left.lineTo(8, 14.5);
    left.lineTo(2, 11.5);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(14, 4.5);
    right.lineTo(14, 11.5);
    right.lineTo(8, 14.5);
    right.lineTo(8, 7.5);
    right.closeSubpath();
    fillShape(p, top, kBlue.lighter(130));
    fillShape(p, left, kBlue);
    fillShape(p, right, kBlue.darker(125));
}

QPainterPath tagShape()
{
    QPainterPath tag;
    tag.moveTo(1.5, 8);
    tag.lineTo(5.5, 3.5);
    tag.lineTo(14.5, 3.5);
    tag.lineTo(14.5, 12.5);
    tag.lineTo(5.5, 12.5);
    tag.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(5.5, 8), 1.3, 1.3);
    return tag.subtracted(hole);
}

void drawTag(QPainter& p, QColor hue)
{
    fillShape(p, tagShape(), hue);
    p.setPen(QPen(QColor(255, 255, 255, 170), 0.9));
    p.drawLine(QPointF(8.5, 6.5), QPointF(12.5, 6.5));
    p.drawLine(QPointF(8.5, 9.5), QPointF(12.5, 9.5));
}

void nodeGreenTag(QPainter& p) { drawTag(p, kGreen); }
void nodeRedTag(QPainter& p) { drawTag(p, kRed); }
void nodeBlueTag(QPainter& p) { drawTag(p, kBlue); }

void nodeHalfTag(QPainter& p)
{
    // Red over the left half, blue over the right: alarm and history.
    p.save();
    p.setClipRect(QRectF(0, 0, 8, 16));
    fillShape(p, tagShape(), kRed);
    p.setClipRect(QRectF(8, 0, 8, 16));
    fillShape(p, tagShape(), kBlue);
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 170), 0.9));
    p.drawLine(QPointF(8.5, 6.5), QPointF(12.5, 6.5));
    p.drawLine(QPointF(8.5, 9.5), QPointF(12.5, 9.5));
}

void nodeGear(QPainter& p)
{
    QPainterPath gear;
    const QPointF c(8, 8);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-1.4, -7, 2.8, 4), 0.6, 0.6);
        QTransform turn;
        turn.translate(c.x(), c.y());
        turn.rotate(i * 45.0);
        gear = gear.united(turn.map(tooth));
    }
    QPainterPath body;
    body.addEllipse(c, 4.9, 4.9);
    gear = gear.united(body);
    QPainterPath hole;
    hole.addEllipse(c, 1.9, 1.9);
    fillShape(p, gear.subtracted(hole), kGrey);
}

void drawLetterT(QPainter& p, QColor hue)
{
    QPainterPath t;
    t.addRoundedRect(QRectF(2, 2, 12, 3.6), 0.8, 0.8);
    t.addRoundedRect(QRectF(6.2, 2, 3.6, 12), 0.8, 0.8);
    fillShape(p, t.simplified(), hue);
}

void nodeYellowT(QPainter& p) { drawLetterT(p, kOrange); }
void nodeLightT(QPainter& p) { drawLetterT(p, QColor(178, 210, 240)); }
void nodePurpleT(QPainter& p) { drawLetterT(p, kPurple); }

void nodeHierarchy(QPainter& p)
{
    p.setPen(QPen(kGrey.darker(130), 1));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(4.5, 6), QPointF(4.5, 12));
    p.drawLine(QPointF(4.5, 8.5), QPointF(9, 8.5));
    p.drawLine(QPointF(4.5, 12.5), QPointF(9, 12.5));
    QPainterPath top;
    top.addRoundedRect(QRectF(1.5, 1.5, 6, 4.5), 1, 1);
    QPainterPath first;
    first.addRoundedRect(QRectF(9, 6.5, 5.5, 4), 1, 1);
    QPainterPath second;
    second.addRoundedRect(QRectF(9, 10.5, 5.5, 4), 1, 1);
    fillShape(p, top, kPurple);
    fillShape(p, first, kGreen);
    fillShape(p, second, kGreen);
}

void nodeMagnifier(QPainter& p)
{
    p.setPen(QPen(kGrey.darker(140), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    QPainterPath lens;
    lens.addEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
    QPainterPath glass;
    glass.addEllipse(QPointF(6.5, 6.5), 3.2, 3.2);
    fillShape(p, lens.subtracted(glass), kGrey);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(178, 220, 255, 200));
    p.drawEllipse(QPointF(6.5, 6.5), 3.2, 3.2);
}

void nodeAlarmLight(QPainter& p)
{
    // A red beacon on its base, with two short rays on either side.
    QPainterPath dome;
    dome.moveTo(4, 12);
    dome.lineTo(4, 8.5);
    dome.cubicTo(4, 4.5, 12, 4.5, 12, 8.5);
    dome.lineTo(12, 12);
    dome.closeSubpath();
    fillShape(p, dome, kRed);
    QPainterPath base;
    base.addRoundedRect(QRectF(2.5, 12, 11, 2.6), 0.8, 0.8);
    fillShape(p, base, kGrey);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6.3, 8), QPointF(6.3, 10.5));
    p.setPen(QPen(kRed, 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 1.2), QPointF(8, 2.8));
    p.drawLine(QPointF(2.2, 3.6), QPointF(3.4, 4.8));
    p.drawLine(QPointF(13.8, 3.6), QPointF(12.6, 4.8));
}

void nodeDocumentPen(QPainter& p)
{
    QPainterPath sheet;
    sheet.moveTo(2.5, 1.5);
    sheet.lineTo(9, 1.5);
    sheet.lineTo(12, 4.5);
    sheet.lineTo(12, 14.5);
    sheet.lineTo(2.5, 14.5);
    sheet.closeSubpath();
    fillShape(p, sheet, QColor(236, 240, 245));
    p.setPen(QPen(kBlue.darker(110), 0.9));
    for (double y : { 5.5, 8.0, 10.5 })
        p.drawLine(QPointF(4.5, y), QPointF(9.5, y));
    QPainterPath pen;
    pen.moveTo(15, 6.5);
    pen.lineTo(8, 13.5);
    pen.lineTo(6.8, 15);
    pen.lineTo(7.2, 13);
    pen.lineTo(14, 5.5);
    pen.closeSubpath();
    fillShape(p, pen, kOrange);
}

bool renderNodeStrip(const char* directory, int size)
{
    const Glyph icons[] = { nodeFolder,
        nodeCube,
        nodeGreenTag,
        nodeGear,
        nodeYellowT,
        nodeLightT,
        nodeHierarchy,
        nodePurpleT,
        nodeMagnifier,
        nodeAlarmLight,
        nodeDocumentPen,
        nodeRedTag,
        nodeBlueTag,
        nodeHalfTag };
    constexpr int count = sizeof icons / sizeof icons[0];
    QImage image(size * count, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < count; ++i) {
        p.save();
        p.translate(i * size, 0);
        p.scale(size / 16.0, size / 16.0);
        icons[i](p);
        p.restore();
    }
    p.end();
    const QString path = QStringLiteral("%1/nodeicons-%2.png").arg(QString::fromLocal8Bit(directory)).arg(size);
    if (!image.save(path)) {
        std::fprintf(stderr, "icon-painter: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool render(const char* directory, const char* name, int size, QColor top, QColor bottom, const Glyph& glyph)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    drawTile(p, top, bottom);
    glyph(p);
    p.end();
    const QString path
        = QStringLiteral("%1/%2-%3.png").arg(QString::fromLocal8Bit(directory), QString::fromLatin1(name)).arg(size);
    if (!image.save(path)) {
        std::fprintf(stderr, "icon-painter: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: icon-painter DIRECTORY\n");
        return 2;
    }
    const char* dir = argv[1];
    struct Page {
        const char* name;
        QColor top;
        QColor bottom;
        Glyph glyph;
    };
    const Page pages[] = {
        { "status", QColor(76, 175, 80), QColor(46, 125, 50), glyphStatus },
        { "endpoints", QColor(66, 165, 245), QColor(21, 101, 192), glyphEndpoints },
        { "users", QColor(255, 167, 38), QColor(230, 110, 0), glyphUsers },
        { "nodeconfig", QColor(171, 71, 188), QColor(106, 27, 154), glyphNodeConfig },
        { "database", QColor(38, 166, 154), QColor(0, 105, 92), glyphDatabase },
    };
    bool ok = true;
    for (const Page& page : pages)
        for (const int size : { 48, 96 })
            ok = render(dir, page.name, size, page.top, page.bottom, page.glyph) && ok;
    for (const int size : { 16, 24, 32, 48, 64, 96, 128, 256 })
        ok = render(dir, "tavox", size, QColor(52, 84, 140), QColor(24, 44, 86), glyphApplication) && ok;
    for (const int size : { 16, 32 })
        ok = renderNodeStrip(dir, size) && ok;
    return ok ? 0 : 1;
}
