#include "app/CDialogHeader.h"

#include <QFontMetrics>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QRect kClient(0, 0, 400, 60);

QIcon someIcon()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

CDialogHeader::Layout layoutOf(bool icon, bool reserveColumn, int alignment)
{
    CDialogHeader header;
    if (icon)
        header.SetIcon(someIcon());
    header.setReserveIconColumn(reserveColumn);
    header.SetAlignment(alignment);
    return header.layoutFor(kClient);
}

TEST(CDialogHeaderTest, TextStaysRightOfTheIconColumnEvenWithoutAnIcon)
{
    const auto withIcon = layoutOf(true, true, CDialogHeader::AlignLeft);
    const auto withoutIcon = layoutOf(false, true, CDialogHeader::AlignLeft);
    const auto noColumn = layoutOf(false, false, CDialogHeader::AlignLeft);
    EXPECT_GT(withIcon.title.left(), withIcon.icon.right());
    EXPECT_EQ(withoutIcon.title, withIcon.title);
    EXPECT_EQ(withoutIcon.description, withIcon.description);
    EXPECT_TRUE(withoutIcon.icon.isNull());
    EXPECT_LT(noColumn.title.left(), withIcon.icon.right()) << "without the reserved column the text moves left";
}

TEST(CDialogHeaderTest, AlignsTitleAndDescription)
{
    const auto left = layoutOf(true, true, CDialogHeader::AlignLeft);
    EXPECT_GT(left.description.left(), left.title.left()) << "the description is indented";

    // Centred over the whole strip, not over the part right of the icon.
    const auto centred = layoutOf(true, true, CDialogHeader::AlignCentre);
    EXPECT_LE(std::abs(centred.title.center().x() - kClient.center().x()), 6);
    EXPECT_EQ(centred.description.left(), centred.title.left());
    EXPECT_EQ(centred.description.right(), centred.title.right());

    const auto right = layoutOf(true, true, CDialogHeader::AlignRight);
    EXPECT_EQ(right.description.left(), right.title.left());
    EXPECT_LT(right.description.right(), right.title.right()) << "the description is inset from the right";

    for (int unknown : { 3, 7, -1 }) {
        const auto shown = layoutOf(true, true, unknown);
        EXPECT_EQ(shown.title, left.title) << unknown;
        EXPECT_EQ(shown.description, left.description) << unknown;
    }
}

TEST(CDialogHeaderTest, ShowsWholeLinesAndCutsTheLastWithAnEllipsis)
{
    QFont font;
    font.setPixelSize(14);
    const int lineHeight = QFontMetrics(font).height();
    const QRect oneLine(0, 0, 200, lineHeight);
    const QRect twoLines(0, 0, 200, 2 * lineHeight + lineHeight / 2);
    const QString shortText = QStringLiteral("Status");
    const QString longText = QStringLiteral("Add or remove the users of the server and choose which kinds of client "
                                            "logon the server accepts");

    EXPECT_EQ(CDialogHeader::shownLines(font, oneLine, shortText), QStringList { shortText });
    EXPECT_TRUE(CDialogHeader::shownLines(font, QRect(0, 0, 200, lineHeight - 1), shortText).isEmpty())
        << "a line that does not fit whole is not shown";

    for (const QRect& rect : { oneLine, twoLines }) {
        const QStringList lines = CDialogHeader::shownLines(font, rect, longText);
        ASSERT_EQ(lines.size(), rect.height() / lineHeight);
        EXPECT_TRUE(lines.last().endsWith(QChar(0x2026))) << lines.last().toStdString();
        for (const QString& line : lines)
            EXPECT_LE(QFontMetrics(font).horizontalAdvance(line), rect.width()) << line.toStdString();
        EXPECT_TRUE(longText.startsWith(lines.first().chopped(lines.size() == 1 ? 1 : 0)));
    }
}

TEST(CDialogHeaderTest, HeightNeverCutsTheIconOffAndKeepsALargerRequest)
{
    CDialogHeader header;
    header.SetIcon(someIcon());
    header.SetHeaderHeight(0);
    const int fitted = header.headerHeight();
    EXPECT_EQ(header.height(), fitted);
    EXPECT_LE(header.layoutFor(QRect(0, 0, 400, fitted)).icon.bottom(), fitted - 1);
    EXPECT_EQ(header.fittedHeight(fitted - 1), fitted);

    header.SetHeaderHeight(fitted + 40);
    EXPECT_EQ(header.headerHeight(), fitted + 40);
    EXPECT_EQ(header.height(), fitted + 40);
}

} // namespace
