#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

/// The header strip across the top of the main sheet: the active page's 48 x 48 icon, its
/// title in bold and its description beneath, on a solid background. It handles no input.
class CDialogHeader : public QWidget {
    Q_OBJECT

public:
    enum Alignment { AlignLeft = 0, AlignCentre = 1, AlignRight = 2 };

    /// Where a paint puts things in a client rectangle.
    struct Layout {
        QRect fill;
        QRect icon;
        QRect title;
        QRect description;
    };

    explicit CDialogHeader(QWidget* parent = nullptr);

    /// Raises the height to fit the icon cell and the two text lines; never below `height`.
    void SetHeaderHeight(int height);
    int headerHeight() const { return m_headerHeight; }
    /// The height that SetHeaderHeight would settle on for a request.
    int fittedHeight(int requested) const;

    void SetIcon(const QIcon& icon) { m_icon = icon; }
    /// The painted texts are also the strip's accessible name and description, so that
    /// assistive technologies read what the strip shows.
    void SetTitle(const QString& title);
    void SetDescription(const QString& description);
    /// Values other than 1 and 2 are left alignment.
    void SetAlignment(int alignment) { m_alignment = alignment; }
    void SetBackground(const QColor& colour) { m_background = colour; }
    void setReserveIconColumn(bool reserve) { m_reserveIconColumn = reserve; }

    const QString& title() const { return m_title; }
    const QString& description() const { return m_description; }
    const QIcon& icon() const { return m_icon; }
    int alignment() const { return m_alignment; }

    Layout layoutFor(const QRect& client) const;
    /// The lines a paint shows of `text` in `rect`: wrapped at word boundaries, only whole lines
    /// that fit, and the last one cut with an ellipsis when text is left over (or a word is too
    /// wide).
    static QStringList shownLines(const QFont& font, const QRect& rect, const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /// A sans-serif font whose character cell is at most `height` pixels high.
    QFont MakeHeaderFont(QFont::Weight weight, int height) const;

    int m_titleFontHeight = 18;
    int m_descFontHeight = 16;
    int m_headerHeight = 60;
    int m_iconWidth = 48;
    int m_iconHeight = 48;
    int m_edge = 2;
    int m_rightMargin = 1;
    int m_margin = 5;
    int m_textOffset = 10;
    int m_descIndent = 10;
    int m_alignment = AlignLeft;
    bool m_reserveIconColumn = true;
    QIcon m_icon;
    QString m_title;
    QString m_description;
    QColor m_background;
};
