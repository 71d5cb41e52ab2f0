// Draws the application icon and the 48 x 48 page icons of the utility: one rounded tile per
// icon, each page in its own hue, with a white glyph drawn on a 48-unit grid.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

using Glyph = std::function<void(QPainter&)>;

const QColor kGlyph(255, 255, 255);

QPen glyphPen(qreal width)
{
    return QPen(kGlyph, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

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
    const QString path = QStringLiteral("%1/%2-%3.png").arg(QString::fromLocal8Bit(directory), QString::fromLatin1(name)).arg(size);
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
        {"status", QColor(76, 175, 80), QColor(46, 125, 50), glyphStatus},
        {"endpoints", QColor(66, 165, 245), QColor(21, 101, 192), glyphEndpoints},
        {"users", QColor(255, 167, 38), QColor(230, 110, 0), glyphUsers},
        {"nodeconfig", QColor(171, 71, 188), QColor(106, 27, 154), glyphNodeConfig},
        {"database", QColor(38, 166, 154), QColor(0, 105, 92), glyphDatabase},
    };
    bool ok = true;
    for (const Page& page : pages)
        for (const int size : {48, 96})
            ok = render(dir, page.name, size, page.top, page.bottom, page.glyph) && ok;
    for (const int size : {16, 24, 32, 48, 64, 96, 128, 256})
        ok = render(dir, "tavox", size, QColor(52, 84, 140), QColor(24, 44, 86), glyphApplication) && ok;
    return ok ? 0 : 1;
}
