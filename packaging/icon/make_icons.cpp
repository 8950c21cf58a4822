// Renders the program's icon: the modem's front panel, the picture the main
// window shows, under the arcs of a received signal on a dark rounded square.
//
//   make_icons DIR SIZE...
//
// writes DIR/SIZExSIZE/apps/varnetrix-reader.png for each SIZE (the layout of
// an icon theme's folder), so the packaged icons always match the panel.
#include "app/ui/modem_picture.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr double kCanvas = 256;  // the icon is drawn on 256 x 256 units

void PaintIcon(QPainter& p, const QPixmap& panel)
{
    QPainterPath square;
    square.addRoundedRect(QRectF(12, 12, 232, 232), 44, 44);
    QLinearGradient sky(0, 12, 0, 244);
    sky.setColorAt(0, QColor(33, 64, 108));
    sky.setColorAt(1, QColor(14, 28, 52));
    p.fillPath(square, sky);

    // Three arcs of the signal coming down to the modem.
    QPen wave(QColor(140, 210, 235), 14, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    const QPointF source(128, 150);
    for (double r : {34.0, 66.0, 98.0})
        p.drawArc(QRectF(source.x() - r, source.y() - r, 2 * r, 2 * r), 50 * 16, 80 * 16);

    // The panel, a little taller than true so that its display and lamps
    // still show at the small sizes.
    p.drawPixmap(QRectF(22, 160, 212, 56), panel, QRectF(panel.rect()));
}

bool ParseSize(std::string_view text, int& size)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
    return ec == std::errc() && end == text.data() + text.size() && size >= 8 && size <= 1024;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icons DIR SIZE...\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        int size = 0;
        if (!ParseSize(argv[i], size)) {
            std::fprintf(stderr, "make_icons: '%s' is not an icon size (8 to 1024)\n", argv[i]);
            return 2;
        }
    }
    QGuiApplication app(argc, argv);  // a pixmap needs one
    const QPixmap panel = ModemPicture();
    for (int i = 2; i < argc; ++i) {
        int size = 0;
        ParseSize(argv[i], size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        p.scale(size / kCanvas, size / kCanvas);
        PaintIcon(p, panel);
        p.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(dir).arg(size);
        const QString file = folder + QStringLiteral("/varnetrix-reader.png");
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
