#include "widgets/ui/iledbar.h"

#include "qt_test_environment.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <array>

namespace {

VR_QT_TEST_ENVIRONMENT();

class LedBarWidget : public ::testing::Test {
protected:

    QImage Render()
    {
        QImage image(bar.size(), QImage::Format_RGB32);
        image.fill(Qt::white);  // anything the bar leaves unpainted would show
        QPainter painter(&image);
        bar.iPaintTo(painter);
        return image;
    }

    TiLedBar bar;
};

// The colour segment i must show, from the band table of the main window's bar.
QRgb BandColour(int i)
{
    if (i < 56) return qRgb(0, 128, 255);
    if (i < 167) return qRgb(11, 192, 1);
    if (i < 222) return qRgb(176, 176, 0);
    if (i < 244) return qRgb(221, 0, 0);
    return qRgb(255, 0, 0);
}

// Every pixel of the 505 x 16 bar: segment i is column 3 + 2i, rows 3..12,
// in its band colour when lit; everything else black.
void ExpectBar(const QImage& image, int lit)
{
    ASSERT_EQ(image.size(), QSize(505, 16));
    int wrong = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 505; ++x) {
            QRgb expected = qRgb(0, 0, 0);
            const bool segmentColumn = x >= 3 && (x - 3) % 2 == 0 && (x - 3) / 2 < lit;
            if (segmentColumn && y >= 3 && y <= 12)
                expected = BandColour((x - 3) / 2);
            if (image.pixel(x, y) != expected && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << image.pixel(x, y)
                              << ", expected " << expected;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(LedBarWidget, PaintsLitSegmentsInTheirBandColours)
{
    bar.resize(505, 16);
    struct Case {
        double position;
        int lit;
    };
    // Nothing, the blue band only, one dark red, one bright red, everything.
    for (const Case& c : std::array<Case, 6>{{{-600, 0}, {-500, 56}, {-499, 57}, {-200, 223}, {-160, 245}, {-150, 250}}}) {
        SCOPED_TRACE(c.position);
        bar.SetPosition(c.position);
        ExpectBar(Render(), c.lit);
    }
}

TEST_F(LedBarWidget, BandBoundaryColumns)
{
    bar.resize(505, 16);
    bar.SetPosition(-150);
    const QImage image = Render();
    // Last and first segment of each band, by column (3 + 2i), mid-height.
    const std::array<std::pair<int, QRgb>, 10> columns{{
        {3 + 2 * 0, qRgb(0, 128, 255)},    {3 + 2 * 55, qRgb(0, 128, 255)},
        {3 + 2 * 56, qRgb(11, 192, 1)},    {3 + 2 * 166, qRgb(11, 192, 1)},
        {3 + 2 * 167, qRgb(176, 176, 0)},  {3 + 2 * 221, qRgb(176, 176, 0)},
        {3 + 2 * 222, qRgb(221, 0, 0)},    {3 + 2 * 243, qRgb(221, 0, 0)},
        {3 + 2 * 244, qRgb(255, 0, 0)},    {501, qRgb(255, 0, 0)},
    }};
    for (const auto& [x, colour] : columns) {
        SCOPED_TRACE(x);
        EXPECT_EQ(image.pixel(x, 8), colour);
        EXPECT_EQ(image.pixel(x + 1, 8), qRgb(0, 0, 0));  // the gap after it
    }
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(LedBarWidget, SamePositionTwiceRepaintsOnce)
{
    bar.resize(505, 16);
    PaintCounter counter;
    bar.installEventFilter(&counter);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QApplication::processEvents();
    counter.paints = 0;

    bar.SetPosition(-453);
    QApplication::processEvents();
    bar.SetPosition(-453);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(bar.RepaintRequests(), 1);

    // Out-of-range values that clamp to the current position change nothing either.
    bar.SetPosition(-150);
    QApplication::processEvents();
    bar.SetPosition(400);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 2);
    EXPECT_EQ(bar.Position(), -150);
}

TEST_F(LedBarWidget, OffSegmentsAreDimmedWhenShown)
{
    bar.resize(505, 16);
    bar.Model().ShowOffSegments = true;
    bar.SetPosition(-500);  // 56 lit
    const QImage image = Render();
    EXPECT_EQ(image.pixel(3 + 2 * 55, 8), qRgb(0, 128, 255));
    EXPECT_EQ(image.pixel(3 + 2 * 56, 8), qRgb(11 / 4, 192 / 4, 1 / 4));
    EXPECT_EQ(image.pixel(501, 8), qRgb(255 / 4, 0, 0));
    EXPECT_EQ(image.pixel(3 + 2 * 56 + 1, 8), qRgb(0, 0, 0));
}

} // namespace
