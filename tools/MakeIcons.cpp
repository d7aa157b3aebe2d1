// Draws the program's icons into PNG files: four 16x16 list icons (server,
// database, table, column) and the 32x32 application icon; with --hicolor,
// the application icon at the desktop's sizes as <size>x<size>/apps/velmora.png.
// Usage: velmora_make_icons [--hicolor] <output folder>   (run with QT_QPA_PLATFORM=offscreen)

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Every picture is drawn on a 64x64 canvas and scaled down smoothly, which
// gives clean anti-aliased edges at 16 and 32 pixels. Larger sizes are drawn
// at their own size so they stay sharp.
constexpr int kCanvas = 64;

QImage Render(int size, const std::function<void(QPainter&)>& draw)
{
    const int canvasSize = std::max(kCanvas, size);
    QImage canvas(canvasSize, canvasSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(qreal(canvasSize) / kCanvas, qreal(canvasSize) / kCanvas);
        draw(painter);
    }
    if (canvasSize == size)
        return canvas;
    return canvas.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void DrawServer(QPainter& p)
{
    const QColor body(70, 84, 110);
    QLinearGradient shade(12, 0, 52, 0);
    shade.setColorAt(0, QColor(200, 208, 222));
    shade.setColorAt(1, QColor(120, 132, 156));
    p.setPen(QPen(body, 3));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(14, 4, 36, 56), 5, 5);
    // Drive bays and their lights.
    for (int i = 0; i < 3; ++i) {
        const qreal y = 12 + i * 14;
        p.setPen(QPen(body, 2.5));
        p.setBrush(QColor(235, 238, 244));
        p.drawRect(QRectF(20, y, 24, 8));
        p.setPen(Qt::NoPen);
        p.setBrush(i == 0 ? QColor(40, 190, 70) : QColor(90, 150, 230));
        p.drawEllipse(QPointF(39, y + 4), 2.5, 2.5);
    }
}

void DrawDatabase(QPainter& p)
{
    const QRectF top(10, 6, 44, 14);
    const qreal bottomY = 44;
    QLinearGradient shade(10, 0, 54, 0);
    shade.setColorAt(0, QColor(250, 205, 90));
    shade.setColorAt(1, QColor(205, 140, 20));
    QPainterPath body;
    body.moveTo(top.left(), top.center().y());
    body.lineTo(top.left(), bottomY + 7);
    body.arcTo(QRectF(top.left(), bottomY, top.width(), 14), 180, 180);
    body.lineTo(top.right(), top.center().y());
    body.arcTo(top, 0, -180);
    p.setPen(QPen(QColor(130, 80, 10), 3));
    p.setBrush(shade);
    p.drawPath(body);
    // The bands between the stacked discs, then the lid.
    p.setBrush(Qt::NoBrush);
    for (qreal y : {19.0, 32.0})
        p.drawArc(QRectF(top.left(), y, top.width(), 14), 180 * 16, 180 * 16);
    p.setBrush(QColor(255, 228, 150));
    p.drawEllipse(top);
}

void DrawTable(QPainter& p)
{
    const QRectF frame(6, 10, 52, 44);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(frame);
    p.setBrush(QColor(60, 120, 200));
    p.drawRect(QRectF(frame.left(), frame.top(), frame.width(), 12));
    p.setPen(QPen(QColor(40, 80, 150), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
    p.setPen(QPen(QColor(90, 120, 170), 2));
    for (qreal y : {32.0, 43.0})
        p.drawLine(QPointF(frame.left(), y), QPointF(frame.right(), y));
    p.drawLine(QPointF(26, frame.top() + 12), QPointF(26, frame.bottom()));
}

void DrawColumn(QPainter& p)
{
    // A small grid behind an italic function sign.
    p.setPen(QPen(QColor(120, 150, 120), 2.5));
    p.setBrush(QColor(235, 245, 235));
    p.drawRect(QRectF(4, 4, 56, 56));
    for (qreal v : {22.0, 41.0}) {
        p.drawLine(QPointF(4, v), QPointF(60, v));
        p.drawLine(QPointF(v, 4), QPointF(v, 60));
    }
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(50);
    font.setItalic(true);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(170, 30, 30));
    p.drawText(QRectF(0, 0, 64, 64), Qt::AlignCenter, QString(QChar(0x0192)));
}

void DrawApplication(QPainter& p)
{
    // The database cylinder with a pen: documenting a schema.
    p.save();
    p.translate(2, 6);
    p.scale(0.85, 0.85);
    DrawDatabase(p);
    p.restore();
    p.setPen(QPen(QColor(40, 40, 40), 2));
    QLinearGradient shade(0, 0, 10, 10);
    shade.setColorAt(0, QColor(80, 140, 230));
    shade.setColorAt(1, QColor(30, 70, 160));
    p.setBrush(shade);
    QPainterPath pen;
    pen.moveTo(58, 26);
    pen.lineTo(64, 32);
    pen.lineTo(38, 58);
    pen.lineTo(28, 62);
    pen.lineTo(32, 52);
    pen.closeSubpath();
    p.drawPath(pen);
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const bool hicolor = argc == 3 && qstrcmp(argv[1], "--hicolor") == 0;
    if (argc != 2 && !hicolor) {
        std::fprintf(stderr, "usage: %s [--hicolor] <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[argc - 1]));
    if (hicolor) {
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QString folder = QStringLiteral("%1x%1/apps").arg(size);
            const QString path = out.filePath(folder + QStringLiteral("/velmora.png"));
            if (!out.mkpath(folder) || !Render(size, DrawApplication).save(path)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
        return 0;
    }
    const struct {
        const char* name;
        int size;
        void (*draw)(QPainter&);
    } icons[] = {
        {"server.png", 16, DrawServer},
        {"database.png", 16, DrawDatabase},
        {"table.png", 16, DrawTable},
        {"column.png", 16, DrawColumn},
        {"velmora.png", 32, DrawApplication},
    };
    for (const auto& icon : icons) {
        const QString path = out.filePath(QString::fromLatin1(icon.name));
        if (!Render(icon.size, icon.draw).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
