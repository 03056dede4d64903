// Draws the program's icon, banners and button images and writes them, with
// the resource list that the build compiles into the program, to a folder.
// Usage: orvendel_imagegen <output folder>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <cmath>
#include <functional>
#include <vector>

namespace {

using Draw = std::function<void(QPainter&, double w, double h)>;

QImage Paint(int width, int height, bool alpha, const Draw& draw) {
    QImage image(width, height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(alpha ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    draw(painter, width, height);
    return image;
}

QPen Outline(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A red diagonal cross.
void RedCross(QPainter& p, double w, double h) {
    const double m = std::min(w, h) * 0.18;
    p.setPen(Outline(QColor(0x8e, 0x10, 0x10), std::min(w, h) * 0.30));
    p.drawLine(QPointF(m, m), QPointF(w - m, h - m));
    p.drawLine(QPointF(w - m, m), QPointF(m, h - m));
    p.setPen(Outline(QColor(0xe5, 0x32, 0x2d), std::min(w, h) * 0.20));
    p.drawLine(QPointF(m, m), QPointF(w - m, h - m));
    p.drawLine(QPointF(w - m, m), QPointF(m, h - m));
}

// A 3.5-inch diskette: blue body, metal shutter, white label.
void Diskette(QPainter& p, double w, double h) {
    const QRectF body(w * 0.08, h * 0.08, w * 0.84, h * 0.84);
    QPainterPath outline;
    outline.moveTo(body.left(), body.top());
    outline.lineTo(body.right() - w * 0.12, body.top());
    outline.lineTo(body.right(), body.top() + h * 0.12);
    outline.lineTo(body.right(), body.bottom());
    outline.lineTo(body.left(), body.bottom());
    outline.closeSubpath();
    p.setPen(Outline(QColor(0x12, 0x2f, 0x6b), 1.0));
    p.setBrush(QColor(0x2c, 0x5a, 0xb8));
    p.drawPath(outline);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc9, 0xcf, 0xd6));
    p.drawRect(QRectF(w * 0.28, body.top(), w * 0.40, h * 0.28));
    p.setBrush(QColor(0x2c, 0x5a, 0xb8));
    p.drawRect(QRectF(w * 0.52, body.top() + h * 0.04, w * 0.09, h * 0.19));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(w * 0.22, h * 0.52, w * 0.56, h * 0.36));
    p.setPen(Outline(QColor(0x9a, 0xa6, 0xb6), 1.0));
    p.drawLine(QPointF(w * 0.28, h * 0.64), QPointF(w * 0.72, h * 0.64));
    p.drawLine(QPointF(w * 0.28, h * 0.76), QPointF(w * 0.72, h * 0.76));
}

// An open manila folder with a green arrow leaving it.
void FolderWithArrow(QPainter& p, double w, double h) {
    p.setPen(Outline(QColor(0x9c, 0x6b, 0x12), 1.0));
    p.setBrush(QColor(0xe8, 0xb0, 0x3c));
    QPainterPath back;
    back.moveTo(w * 0.06, h * 0.30);
    back.lineTo(w * 0.30, h * 0.30);
    back.lineTo(w * 0.36, h * 0.38);
    back.lineTo(w * 0.80, h * 0.38);
    back.lineTo(w * 0.80, h * 0.90);
    back.lineTo(w * 0.06, h * 0.90);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(0xf7, 0xcf, 0x6a));
    QPainterPath front;
    front.moveTo(w * 0.14, h * 0.50);
    front.lineTo(w * 0.92, h * 0.50);
    front.lineTo(w * 0.80, h * 0.90);
    front.lineTo(w * 0.04, h * 0.90);
    front.closeSubpath();
    p.drawPath(front);
    // Arrow up and to the right, out of the folder.
    p.setPen(Outline(QColor(0x1b, 0x7a, 0x2b), w * 0.13));
    p.drawLine(QPointF(w * 0.50, h * 0.62), QPointF(w * 0.80, h * 0.22));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1b, 0x7a, 0x2b));
    QPainterPath head;
    head.moveTo(w * 0.97, h * 0.04);
    head.lineTo(w * 0.92, h * 0.40);
    head.lineTo(w * 0.62, h * 0.16);
    head.closeSubpath();
    p.drawPath(head);
}

// A green plus sign.
void GreenPlus(QPainter& p, double w, double h) {
    p.setPen(Outline(QColor(0x14, 0x5c, 0x1e), w * 0.30));
    p.drawLine(QPointF(w * 0.5, h * 0.16), QPointF(w * 0.5, h * 0.84));
    p.drawLine(QPointF(w * 0.16, h * 0.5), QPointF(w * 0.84, h * 0.5));
    p.setPen(Outline(QColor(0x3c, 0xb4, 0x4a), w * 0.20));
    p.drawLine(QPointF(w * 0.5, h * 0.16), QPointF(w * 0.5, h * 0.84));
    p.drawLine(QPointF(w * 0.16, h * 0.5), QPointF(w * 0.84, h * 0.5));
}

// A red minus sign on a round badge.
void RedMinus(QPainter& p, double w, double h) {
    p.setPen(Outline(QColor(0x8e, 0x10, 0x10), 1.0));
    QRadialGradient fill(QPointF(w * 0.4, h * 0.35), w * 0.55);
    fill.setColorAt(0, QColor(0xff, 0x7a, 0x70));
    fill.setColorAt(1, QColor(0xc8, 0x1e, 0x1e));
    p.setBrush(fill);
    p.drawEllipse(QRectF(w * 0.08, h * 0.08, w * 0.84, h * 0.84));
    p.setPen(Outline(Qt::white, h * 0.16));
    p.drawLine(QPointF(w * 0.28, h * 0.5), QPointF(w * 0.72, h * 0.5));
}

// An octagonal stop sign with a white bar.
void StopSign(QPainter& p, double w, double h) {
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double angle = (22.5 + 45.0 * i) * M_PI / 180.0;
        octagon << QPointF(w / 2 + std::cos(angle) * w * 0.46, h / 2 + std::sin(angle) * h * 0.46);
    }
    p.setPen(Outline(QColor(0x7a, 0x0a, 0x0a), 1.0));
    p.setBrush(QColor(0xd7, 0x26, 0x1e));
    p.drawPolygon(octagon);
    p.setPen(Outline(Qt::white, 1.0));
    p.setBrush(Qt::NoBrush);
    QPolygonF inner;
    for (const QPointF& point : octagon) inner << QPointF(w / 2 + (point.x() - w / 2) * 0.84,
                                                          h / 2 + (point.y() - h / 2) * 0.84);
    p.drawPolygon(inner);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(w * 0.24, h * 0.42, w * 0.52, h * 0.16));
}

// An open door with an arrow walking out of it.
void ExitDoor(QPainter& p, double w, double h) {
    p.setPen(Outline(QColor(0x4a, 0x3a, 0x2a), 1.0));
    p.setBrush(QColor(0xee, 0xee, 0xee));
    p.drawRect(QRectF(w * 0.06, h * 0.05, w * 0.46, h * 0.90));  // door frame
    p.setBrush(QColor(0x9a, 0x5b, 0x2c));
    QPolygonF door;
    door << QPointF(w * 0.06, h * 0.05) << QPointF(w * 0.36, h * 0.16)
         << QPointF(w * 0.36, h * 0.99) << QPointF(w * 0.06, h * 0.95);
    p.drawPolygon(door);
    p.setBrush(QColor(0xf2, 0xc1, 0x3a));
    p.drawEllipse(QPointF(w * 0.30, h * 0.56), w * 0.03, w * 0.03);
    p.setPen(Outline(QColor(0x1b, 0x7a, 0x2b), h * 0.16));
    p.drawLine(QPointF(w * 0.48, h * 0.50), QPointF(w * 0.80, h * 0.50));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1b, 0x7a, 0x2b));
    QPolygonF head;
    head << QPointF(w * 0.99, h * 0.50) << QPointF(w * 0.74, h * 0.22) << QPointF(w * 0.74, h * 0.78);
    p.drawPolygon(head);
}

// A blue arrow pointing up (or down, drawn upside down).
void BlueArrow(QPainter& p, double w, double h, bool down) {
    if (down) {
        p.translate(w, h);
        p.rotate(180);
    }
    QPolygonF arrow;
    arrow << QPointF(w * 0.50, h * 0.06) << QPointF(w * 0.92, h * 0.50) << QPointF(w * 0.66, h * 0.50)
          << QPointF(w * 0.66, h * 0.94) << QPointF(w * 0.34, h * 0.94) << QPointF(w * 0.34, h * 0.50)
          << QPointF(w * 0.08, h * 0.50);
    QLinearGradient fill(0, 0, w, 0);
    fill.setColorAt(0, QColor(0x5b, 0x9b, 0xf0));
    fill.setColorAt(1, QColor(0x1f, 0x55, 0xb8));
    p.setPen(Outline(QColor(0x12, 0x36, 0x80), 1.0));
    p.setBrush(fill);
    p.drawPolygon(arrow);
}

// A white question mark on a blue disc.
void QuestionMark(QPainter& p, double w, double h) {
    QRadialGradient fill(QPointF(w * 0.38, h * 0.32), w * 0.6);
    fill.setColorAt(0, QColor(0x6c, 0xac, 0xf5));
    fill.setColorAt(1, QColor(0x1d, 0x4f, 0xb0));
    p.setPen(Outline(QColor(0x12, 0x36, 0x80), 1.0));
    p.setBrush(fill);
    p.drawEllipse(QRectF(w * 0.04, h * 0.04, w * 0.92, h * 0.92));
    p.setPen(Outline(Qt::white, w * 0.13));
    p.setBrush(Qt::NoBrush);
    QPainterPath hook;
    hook.moveTo(w * 0.34, h * 0.36);
    hook.cubicTo(w * 0.34, h * 0.16, w * 0.68, h * 0.16, w * 0.66, h * 0.36);
    hook.cubicTo(w * 0.65, h * 0.48, w * 0.50, h * 0.48, w * 0.50, h * 0.62);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(w * 0.5, h * 0.79), w * 0.075, w * 0.075);
}

// The program's mark: a database cylinder with a backup tape reel before it.
void ProgramMark(QPainter& p, double w, double h) {
    const double left = w * 0.10, right = w * 0.74, top = h * 0.10, bottom = h * 0.80;
    const double ry = h * 0.09;
    QLinearGradient side(left, 0, right, 0);
    side.setColorAt(0, QColor(0x1a, 0x6e, 0x8a));
    side.setColorAt(0.5, QColor(0x3f, 0xb0, 0xc9));
    side.setColorAt(1, QColor(0x14, 0x55, 0x6b));
    p.setPen(Outline(QColor(0x0c, 0x3a, 0x48), std::max(1.0, w / 48)));
    p.setBrush(side);
    QPainterPath body;
    body.moveTo(left, top + ry);
    body.lineTo(left, bottom);
    body.arcTo(QRectF(left, bottom - ry, right - left, 2 * ry), 180, 180);
    body.lineTo(right, top + ry);
    body.closeSubpath();
    p.drawPath(body);
    for (double y : {top + (bottom - top) * 0.36, top + (bottom - top) * 0.68}) {
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(left, y - ry, right - left, 2 * ry), 180 * 16, 180 * 16);
    }
    p.setBrush(QColor(0x8c, 0xd9, 0xe8));
    p.drawEllipse(QRectF(left, top, right - left, 2 * ry));
    // Tape reel.
    const QPointF centre(w * 0.70, h * 0.70);
    const double radius = w * 0.26;
    p.setBrush(QColor(0xf2, 0xa9, 0x2c));
    p.setPen(Outline(QColor(0x6b, 0x40, 0x05), std::max(1.0, w / 48)));
    p.drawEllipse(centre, radius, radius);
    p.setBrush(QColor(0x5a, 0x3a, 0x10));
    p.drawEllipse(centre, radius * 0.62, radius * 0.62);
    p.setBrush(QColor(0xf8, 0xe3, 0xb8));
    p.drawEllipse(centre, radius * 0.24, radius * 0.24);
}

void Banner(QPainter& p, double w, double h, const QString& title, const QString& subtitle) {
    QLinearGradient sky(0, 0, w, h);
    sky.setColorAt(0, QColor(0x0d, 0x2b, 0x4f));
    sky.setColorAt(1, QColor(0x1a, 0x6e, 0x8a));
    p.fillRect(QRectF(0, 0, w, h), sky);
    p.setPen(QPen(QColor(255, 255, 255, 28), 2));
    for (double x = -h; x < w; x += 22) p.drawLine(QPointF(x, h), QPointF(x + h, 0));
    const double mark = h * 0.80;
    p.save();
    p.translate(h * 0.12, (h - mark) / 2);
    ProgramMark(p, mark, mark);
    p.restore();
    QFont font;
    font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans"});
    font.setBold(true);
    font.setPixelSize(static_cast<int>(h * 0.36));
    p.setFont(font);
    p.setPen(Qt::white);
    const double textLeft = h * 0.12 + mark + h * 0.18;
    p.drawText(QRectF(textLeft, h * 0.10, w - textLeft, h * 0.46), Qt::AlignLeft | Qt::AlignBottom, title);
    font.setBold(false);
    font.setPixelSize(static_cast<int>(h * 0.19));
    p.setFont(font);
    p.setPen(QColor(0xc8, 0xe6, 0xf0));
    p.drawText(QRectF(textLeft, h * 0.58, w - textLeft, h * 0.34), Qt::AlignLeft | Qt::AlignTop, subtitle);
}

struct Output {
    QString path;
    QImage image;
};

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: orvendel_imagegen <output folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    std::vector<Output> outputs{
        {"png/135.png", Paint(16, 17, true, RedCross)},
        {"png/137.png", Paint(24, 24, true, FolderWithArrow)},
        {"png/138.png", Paint(24, 24, true, GreenPlus)},
        {"png/139.png", Paint(24, 24, true, StopSign)},
        {"png/140.png", Paint(23, 20, true, ExitDoor)},
        {"png/141.png", Paint(24, 24, true, [](QPainter& p, double w, double h) { BlueArrow(p, w, h, true); })},
        {"png/142.png", Paint(24, 24, true, [](QPainter& p, double w, double h) { BlueArrow(p, w, h, false); })},
        {"png/143.png", Paint(24, 24, true, RedMinus)},
        {"png/144.png", Paint(24, 24, true, Diskette)},
        {"png/147.png", Paint(20, 20, true, QuestionMark)},
        {"bitmap/130.png", Paint(395, 85, false, [](QPainter& p, double w, double h) {
             Banner(p, w, h, "Talvero Morlith", "by Talvero Works");
         })},
        {"bitmap/131.png", Paint(645, 75, false, [](QPainter& p, double w, double h) {
             Banner(p, w, h, "Talvero Morlith", "Backup sets and database files of .bak files, read only");
         })},
    };
    for (int size : {16, 24, 32, 48, 256})
        outputs.push_back({QString("icon/128-%1.png").arg(size), Paint(size, size, true, ProgramMark)});

    QString list = "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const Output& output : outputs) {
        const QString file = out.filePath(output.path);
        QDir().mkpath(QFileInfo(file).path());
        if (!output.image.save(file, "PNG")) {
            QTextStream(stderr) << "cannot write " << file << "\n";
            return 1;
        }
        list += QString("  <file>%1</file>\n").arg(output.path);
    }
    list += "</qresource>\n</RCC>\n";
    QFile qrc(out.filePath("orvendel_images.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate) || qrc.write(list.toUtf8()) < 0) {
        QTextStream(stderr) << "cannot write " << qrc.fileName() << "\n";
        return 1;
    }
    return 0;
}
