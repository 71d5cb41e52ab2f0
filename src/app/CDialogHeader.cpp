#include "app/CDialogHeader.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <vector>

namespace {

Qt::Alignment horizontalAlignment(int alignment)
{
    switch (alignment) {
    case CDialogHeader::AlignCentre:
        return Qt::AlignHCenter;
    case CDialogHeader::AlignRight:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

/// Draws text as CDialogHeader::shownLines breaks it, one line under the other.
void drawWrappedText(QPainter& painter, const QRect& rect, const QString& text, int alignment)
{
    const QStringList lines = CDialogHeader::shownLines(painter.font(), rect, text);
    const int lineHeight = QFontMetrics(painter.font()).height();
    painter.save();
    painter.setClipRect(rect);
    const int flags = int(horizontalAlignment(alignment) | Qt::AlignTop) | Qt::TextSingleLine;
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QRect(rect.left(), rect.top() + i * lineHeight, rect.width(), lineHeight), flags, lines[i]);
    painter.restore();
}

} // namespace

QStringList CDialogHeader::shownLines(const QFont& font, const QRect& rect, const QString& text)
{
    if (text.isEmpty() || rect.width() <= 0 || rect.height() <= 0)
        return {};
    const QFontMetrics metrics(font);
    struct Line {
        int start;
        int length;
    };
    std::vector<Line> lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(rect.width());
        lines.push_back({ line.textStart(), line.textLength() });
    }
    layout.endLayout();

    const int fitting = std::min<int>(static_cast<int>(lines.size()), rect.height() / metrics.height());
    QStringList shown;
    for (int i = 0; i < fitting; ++i) {
        const bool last = i + 1 == fitting;
        QString line = last ? text.mid(lines[i].start) : text.mid(lines[i].start, lines[i].length);
        if (!last)
            line = line.trimmed();
        shown.append(metrics.elidedText(last ? line.simplified() : line, Qt::ElideRight, rect.width()));
    }
    return shown;
}

CDialogHeader::CDialogHeader(QWidget* parent)
    : QWidget(parent)
    , m_background(palette().color(QPalette::Base))
{
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(m_headerHeight);
}

void CDialogHeader::SetTitle(const QString& title)
{
    m_title = title;
    setAccessibleName(title);
}

void CDialogHeader::SetDescription(const QString& description)
{
    m_description = description;
    setAccessibleDescription(description);
}

int CDialogHeader::fittedHeight(int requested) const
{
    const int forIcon = m_rightMargin + 2 * m_margin + m_iconHeight;
    const int forText = m_rightMargin + 2 * m_margin + m_descFontHeight + m_titleFontHeight + 2;
    return std::max({ requested, forIcon, forText });
}

void CDialogHeader::SetHeaderHeight(int height)
{
    m_headerHeight = fittedHeight(height);
    setFixedHeight(m_headerHeight);
    update();
}

QSize CDialogHeader::sizeHint() const { return { 400, m_headerHeight }; }

QSize CDialogHeader::minimumSizeHint() const { return { m_margin * 2 + m_iconWidth, m_headerHeight }; }

CDialogHeader::Layout CDialogHeader::layoutFor(const QRect& client) const
{
    // Edges as the window system gives them: right and bottom are exclusive.
    const int l = client.left();
    const int t = client.top();
    const int r = client.left() + client.width();
    const int b = client.top() + client.height();
    Layout out;
    out.fill = QRect(l, t, r - l, b - m_edge - t);
    if (!m_icon.isNull())
        out.icon = QRect(m_margin, m_margin, m_iconWidth, m_iconHeight);

    int left = l + m_textOffset;
    if (!m_icon.isNull() || m_reserveIconColumn)
        left += m_margin + m_iconWidth;
    const int top = t + m_margin;
    int right = r - m_rightMargin - m_margin;
    const int bottom = top + m_titleFontHeight;
    // Centred text is centred over the whole strip, not over the part right of the icon.
    if (m_alignment == AlignCentre)
        right -= left - l;
    out.title = QRect(left, top, right - left, bottom - top);

    int descLeft = left;
    int descRight = right;
    if (m_alignment == AlignRight)
        descRight -= m_descIndent;
    else if (m_alignment != AlignCentre)
        descLeft += m_descIndent;
    out.description = QRect(descLeft, bottom, descRight - descLeft, b - bottom);
    return out;
}

QFont CDialogHeader::MakeHeaderFont(QFont::Weight weight, int height) const
{
    QFont made(font());
    made.setStyleHint(QFont::SansSerif);
    made.setWeight(weight);
    made.setItalic(false);
    made.setUnderline(false);
    made.setStrikeOut(false);
    // The height is that of the character cell, as the window system measures a font.
    for (int pixels = height; pixels > 4; --pixels) {
        made.setPixelSize(pixels);
        if (QFontMetrics(made).height() <= height)
            break;
    }
    return made;
}

void CDialogHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFont descFont = MakeHeaderFont(QFont::Normal, m_descFontHeight);
    const QFont titleFont = MakeHeaderFont(QFont::Bold, m_titleFontHeight);
    const QRect client = rect();
    const Layout parts = layoutFor(client);

    // The frame: only its lines in the unfilled bottom band stay visible.
    const int r = client.right();
    const int b = client.bottom();
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(client.left(), client.top(), r, client.top());
    painter.drawLine(client.left(), client.top(), client.left(), b);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(client.left(), b, r, b);
    painter.drawLine(r, client.top(), r, b);

    painter.fillRect(parts.fill, m_background);
    if (!m_icon.isNull())
        m_icon.paint(&painter, parts.icon);

    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(titleFont);
    drawWrappedText(painter, parts.title, m_title, m_alignment);
    painter.setFont(descFont);
    drawWrappedText(painter, parts.description, m_description, m_alignment);
}
