#include "platform/AttributedTextLabel.h"

#include <gtest/gtest.h>

#include <QImage>

using platform::AttributedTextLabel;

namespace {

// Pixels that are clearly red / clearly dark in the label's grab.
struct Ink {
    QRect red;    // bounding box of red ink, in points
    QRect black;  // bounding box of dark ink, in points
};

Ink inkOf(AttributedTextLabel& label)
{
    const QImage image = label.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const qreal dpr = image.devicePixelRatio();
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const QRect point(static_cast<int>(x / dpr), static_cast<int>(y / dpr), 1, 1);
            if (c.red() > 160 && c.green() < 90 && c.blue() < 90)
                ink.red = ink.red.united(point);
            else if (c.red() < 90 && c.green() < 90 && c.blue() < 90)
                ink.black = ink.black.united(point);
        }
    }
    return ink;
}

void setUpLabel(AttributedTextLabel& label, const QString& text)
{
    label.resize(245, 100);
    label.setAutoFillBackground(true);
    QPalette p = label.palette();
    p.setColor(QPalette::Window, Qt::white);
    label.setPalette(p);
    QFont f = label.font();
    f.setPixelSize(16);
    f.setBold(true);
    label.setFont(f);
    label.setText(text);
}

TEST(AttributedTextLabelTest, OnlyTheFirstOccurrenceOfTheHighlightIsRed)
{
    AttributedTextLabel label;
    setUpLabel(label, QStringLiteral("pick one, pick two"));
    label.setHighlight(QStringLiteral("pick"), Qt::red);
    const QRectF highlight = label.highlightRect();
    ASSERT_FALSE(highlight.isEmpty());
    EXPECT_LT(highlight.left(), 5);  // the first "pick", at the start
    EXPECT_LT(highlight.width(), label.textRect().width() / 2);

    const Ink ink = inkOf(label);
    ASSERT_FALSE(ink.red.isEmpty());
    EXPECT_TRUE(highlight.adjusted(-2, -2, 2, 2).contains(QRectF(ink.red)));
    EXPECT_GT(ink.black.right(), highlight.right());  // the rest is in the text colour
}

TEST(AttributedTextLabelTest, AMissingOrEmptyHighlightPaintsNothingRed)
{
    for (const QString& highlight : {QString(), QStringLiteral("absent")}) {
        AttributedTextLabel label;
        setUpLabel(label, QStringLiteral("WHICH_METHOD"));
        label.setHighlight(highlight, Qt::red);
        EXPECT_TRUE(label.highlightRect().isEmpty());
        const Ink ink = inkOf(label);
        EXPECT_TRUE(ink.red.isEmpty());
        EXPECT_FALSE(ink.black.isEmpty());
    }
}

TEST(AttributedTextLabelTest, WordWrapBreaksLongTextIntoLinesWithinTheFrame)
{
    const QString text = QStringLiteral("Which method would you like to use to select the focus area of this photo");
    AttributedTextLabel wrapped;
    setUpLabel(wrapped, text);
    const QRectF lines = wrapped.textRect();
    EXPECT_LE(lines.right(), 245.5);
    EXPECT_GT(lines.height(), 2 * QFontMetricsF(wrapped.font()).height() - 1);
    EXPECT_LE(inkOf(wrapped).black.right(), 245);

    AttributedTextLabel single;
    setUpLabel(single, text);
    single.setWordWrap(false);
    EXPECT_LT(single.textRect().height(), 1.5 * QFontMetricsF(single.font()).height());
}

TEST(AttributedTextLabelTest, VerticalAndHorizontalAlignmentPlaceTheText)
{
    struct Case {
        Qt::Alignment alignment;
        bool top, vcentre, left, hcentre;
    };
    const Case cases[] = {
        {Qt::AlignLeft | Qt::AlignTop, true, false, true, false},
        {Qt::AlignLeft | Qt::AlignVCenter, false, true, true, false},
        {Qt::AlignHCenter | Qt::AlignVCenter, false, true, false, true},
    };
    for (const Case& c : cases) {
        AttributedTextLabel label;
        setUpLabel(label, QStringLiteral("EDGE"));
        label.setAlignment(c.alignment);
        const QRectF text = label.textRect();
        const QRect ink = inkOf(label).black;
        if (c.top) {
            EXPECT_NEAR(text.top(), 0, 0.01);
            EXPECT_LT(ink.top(), 20);
        }
        if (c.vcentre) {
            EXPECT_NEAR(text.center().y(), 50, 1);
            EXPECT_NEAR(ink.center().y(), 50, 6);
        }
        if (c.left) {
            EXPECT_LT(ink.left(), 4);
        }
        if (c.hcentre) {
            EXPECT_NEAR(ink.center().x(), 122, 4);
        }
    }
}

} // namespace
