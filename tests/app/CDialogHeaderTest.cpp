#include "app/CDialogHeader.h"

#include <QPixmap>

#include <gtest/gtest.h>

namespace {

QIcon someIcon()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

TEST(CDialogHeaderTest, PlacesIconTitleAndDescriptionByAlignment)
{
    // Edges as (left, top, right exclusive, bottom exclusive) of a 400 x 60 client area.
    struct Case {
        const char* what;
        bool icon;
        bool reserveColumn;
        int alignment;
        int titleLeft, titleRight, descLeft, descRight;
    };
    const Case cases[] = {
        {"no icon, column reserved", false, true, 0, 63, 394, 73, 394},
        {"icon", true, true, 0, 63, 394, 73, 394},
        {"no icon, no column", false, false, 0, 10, 394, 20, 394},
        {"centred over the whole strip", true, true, 1, 63, 331, 63, 331},
        {"right", true, true, 2, 63, 394, 63, 384},
        {"unknown alignment is left", true, true, 7, 63, 394, 73, 394},
    };
    for (const Case& c : cases) {
        CDialogHeader header;
        if (c.icon)
            header.SetIcon(someIcon());
        header.setReserveIconColumn(c.reserveColumn);
        header.SetAlignment(c.alignment);
        const auto layout = header.layoutFor(QRect(0, 0, 400, 60));
        const auto right = [](const QRect& r) { return r.x() + r.width(); };
        EXPECT_EQ(layout.title.x(), c.titleLeft) << c.what;
        EXPECT_EQ(right(layout.title), c.titleRight) << c.what;
        EXPECT_EQ(layout.title.y(), 5) << c.what;
        EXPECT_EQ(layout.title.height(), 18) << c.what;
        EXPECT_EQ(layout.description.x(), c.descLeft) << c.what;
        EXPECT_EQ(right(layout.description), c.descRight) << c.what;
        EXPECT_EQ(layout.description.y(), 23) << c.what;
        EXPECT_EQ(layout.description.y() + layout.description.height(), 60) << c.what;
        EXPECT_EQ(layout.fill, QRect(0, 0, 400, 58)) << c.what << ": the bottom band stays unfilled";
        EXPECT_EQ(layout.icon, c.icon ? QRect(5, 5, 48, 48) : QRect()) << c.what;
    }
}

TEST(CDialogHeaderTest, HeightFitsIconAndTextLines)
{
    struct Case {
        int requested, height;
    };
    // The icon needs 1 + 2 * 5 + 48 = 59, the text 1 + 2 * 5 + 16 + 18 + 2 = 47.
    const Case cases[] = {{60, 60}, {0, 59}, {58, 59}, {59, 59}, {120, 120}};
    for (const Case& c : cases) {
        CDialogHeader header;
        header.SetHeaderHeight(c.requested);
        EXPECT_EQ(header.headerHeight(), c.height) << c.requested;
        EXPECT_EQ(header.height(), c.height) << c.requested;
    }
}

} // namespace
