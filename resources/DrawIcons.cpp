// quillmark-draw-icons DIR: draws the toolbar's fallback icons (used when the desktop's icon theme has
// none) as NAME.png at 32 x 32 and NAME@2x.png at 64 x 64 into DIR.
//
// Every icon is drawn on a 32 x 32 grid with the same few colours and line widths, so the toolbar looks
// of a piece; the @2x file is the same drawing at twice the scale for high-density screens.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kInk(55, 71, 79);
const QColor kBlue(30, 136, 229);
const QColor kGreen(67, 160, 71);
const QColor kRed(229, 57, 53);
const QColor kAmber(251, 192, 45);
const QColor kPaper(250, 250, 250);
const QColor kGrey(176, 190, 197);
// Lines and letters that stand on the toolbar itself, with no paper behind them: as far from a dark
// palette's window colour as from a light one's.
const QColor kSlate(110, 126, 134);

QPen Ink(qreal width = 2, QColor color = kInk) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void Page(QPainter& p, QRectF r) {
    QPainterPath path;
    const qreal fold = 6;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(Ink(1.5));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawPolyline(QPolygonF{
        {r.right() - fold, r.top()}, {r.right() - fold, r.top() + fold}, {r.right(), r.top() + fold}});
}

void Triangle(QPainter& p, bool pointsLeft, qreal x, qreal y, qreal w, qreal h) {
    QPolygonF t = pointsLeft ? QPolygonF{{x + w, y}, {x, y + h / 2}, {x + w, y + h}}
                             : QPolygonF{{x, y}, {x + w, y + h / 2}, {x, y + h}};
    p.setPen(Ink(1.5, kBlue.darker(130)));
    p.setBrush(kBlue);
    p.drawPolygon(t);
}

void ArcArrow(QPainter& p, bool clockwise, qreal spanDegrees) {
    const QRectF circle(6, 6, 20, 20);
    const qreal start = 90; // the top
    const qreal span = clockwise ? -spanDegrees : spanDegrees;
    p.setPen(Ink(3, kBlue));
    p.setBrush(Qt::NoBrush);
    p.drawArc(circle, int(start * 16), int(span * 16));
    // Arrow head at the end of the arc, along its tangent.
    const qreal end = (start + span) * M_PI / 180;
    const QPointF tip(16 + 10 * std::cos(end), 16 - 10 * std::sin(end));
    const qreal along = end + (clockwise ? -M_PI / 2 : M_PI / 2);
    const QPointF dir(std::cos(along), -std::sin(along));
    const QPointF side(-dir.y(), dir.x());
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF{tip + dir * 6, tip + side * 5, tip - side * 5});
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(Ink(3, kInk));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
    p.setPen(Ink(2.5, kInk));
    p.setBrush(QColor(227, 242, 253));
    p.drawEllipse(QRectF(4, 4, 17, 17));
    p.setPen(Ink(2.5, kBlue));
    p.drawLine(QPointF(8.5, 12.5), QPointF(16.5, 12.5));
    if (plus) p.drawLine(QPointF(12.5, 8.5), QPointF(12.5, 16.5));
}

void FolderShape(QPainter& p, QRectF r) {
    QPainterPath back;
    back.moveTo(r.left(), r.top() + 3);
    back.lineTo(r.left() + 9, r.top() + 3);
    back.lineTo(r.left() + 12, r.top());
    back.lineTo(r.right(), r.top());
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.setPen(Ink(1.5, kAmber.darker(150)));
    p.setBrush(kAmber.darker(115));
    p.drawPath(back);
    p.setBrush(kAmber);
    p.drawRect(QRectF(r.left(), r.top() + 7, r.width(), r.height() - 7));
}

const struct {
    const char* name;
    std::function<void(QPainter&)> draw;
} kIcons[] = {
    {"open",
     [](QPainter& p) {
         Page(p, QRectF(5, 3, 18, 25));
         p.setPen(Ink(3, kGreen));
         p.drawLine(QPointF(14, 20), QPointF(27, 20));
         p.setPen(Qt::NoPen);
         p.setBrush(kGreen);
         p.drawPolygon(QPolygonF{{30, 20}, {24, 14}, {24, 26}});
     }},
    {"folder", [](QPainter& p) { FolderShape(p, QRectF(3, 6, 26, 21)); }},
    {"copy",
     [](QPainter& p) {
         Page(p, QRectF(4, 3, 16, 20));
         Page(p, QRectF(12, 9, 16, 20));
     }},
    {"save",
     [](QPainter& p) {
         p.setPen(Ink(1.5, kBlue.darker(150)));
         p.setBrush(kBlue);
         p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
         p.setBrush(kPaper);
         p.drawRect(QRectF(8, 4, 16, 9));
         p.setBrush(kInk);
         p.drawRect(QRectF(10, 19, 12, 9));
     }},
    {"recycle",
     [](QPainter& p) {
         p.setPen(Ink(1.5));
         p.setBrush(kGrey);
         p.drawPolygon(QPolygonF{{8, 9}, {24, 9}, {22, 29}, {10, 29}});
         p.drawRoundedRect(QRectF(5, 5, 22, 4), 1, 1);
         p.drawLine(QPointF(13, 3), QPointF(19, 3));
         p.setPen(Ink(1.5, kInk));
         for (qreal x : {12.5, 16.0, 19.5})
             p.drawLine(QPointF(x, 13), QPointF(x, 25));
     }},
    {"first",
     [](QPainter& p) {
         p.setPen(Ink(3, kBlue.darker(130)));
         p.drawLine(QPointF(7, 7), QPointF(7, 25));
         Triangle(p, true, 10, 6, 16, 20);
     }},
    {"prior", [](QPainter& p) { Triangle(p, true, 8, 6, 16, 20); }},
    {"next", [](QPainter& p) { Triangle(p, false, 8, 6, 16, 20); }},
    {"last",
     [](QPainter& p) {
         Triangle(p, false, 6, 6, 16, 20);
         p.setPen(Ink(3, kBlue.darker(130)));
         p.drawLine(QPointF(25, 7), QPointF(25, 25));
     }},
    {"rotate-left", [](QPainter& p) { ArcArrow(p, false, 270); }},
    {"rotate-right", [](QPainter& p) { ArcArrow(p, true, 270); }},
    {"flip",
     [](QPainter& p) {
         ArcArrow(p, true, 180);
         p.setPen(kBlue);
         QFont font = p.font();
         font.setPixelSize(8);
         font.setBold(true);
         p.setFont(font);
         p.drawText(QRectF(2, 12, 17, 10), Qt::AlignCenter, QStringLiteral("180"));
     }},
    {"mirror",
     [](QPainter& p) {
         p.setPen(QPen(kSlate, 1.5, Qt::DashLine));
         p.drawLine(QPointF(16, 3), QPointF(16, 29));
         Triangle(p, true, 3, 8, 10, 16);
         Triangle(p, false, 19, 8, 10, 16);
     }},
    {"fit",
     [](QPainter& p) {
         p.setPen(Ink(1.5));
         p.setBrush(QColor(227, 242, 253));
         p.drawRect(QRectF(8, 8, 16, 16));
         p.setPen(Ink(2.5, kBlue));
         for (const auto& [x, y, dx, dy] :
              {std::array<qreal, 4>{3, 3, 1, 1}, {29, 3, -1, 1}, {3, 29, 1, -1}, {29, 29, -1, -1}}) {
             p.drawLine(QPointF(x, y), QPointF(x + 5 * dx, y));
             p.drawLine(QPointF(x, y), QPointF(x, y + 5 * dy));
         }
     }},
    {"actual",
     [](QPainter& p) {
         p.setPen(Ink(1.5));
         p.setBrush(QColor(227, 242, 253));
         p.drawRect(QRectF(3, 6, 26, 20));
         p.setPen(kBlue.darker(130));
         QFont font = p.font();
         font.setPixelSize(11);
         font.setBold(true);
         p.setFont(font);
         p.drawText(QRectF(3, 6, 26, 20), Qt::AlignCenter, QStringLiteral("1:1"));
     }},
    {"zoom-in", [](QPainter& p) { Magnifier(p, true); }},
    {"zoom-out", [](QPainter& p) { Magnifier(p, false); }},
    {"comment",
     [](QPainter& p) {
         QPainterPath bubble;
         bubble.addRoundedRect(QRectF(3, 4, 26, 18), 4, 4);
         QPainterPath tail;
         tail.moveTo(9, 21);
         tail.lineTo(8, 28);
         tail.lineTo(16, 21);
         tail.closeSubpath();
         p.setPen(Ink(1.5));
         p.setBrush(kPaper);
         p.drawPath(bubble.united(tail));
         p.setPen(Ink(1.5, kBlue));
         for (qreal y : {9.0, 13.0, 17.0})
             p.drawLine(QPointF(8, y), QPointF(y == 17.0 ? 18 : 24, y));
     }},
    {"home",
     [](QPainter& p) {
         p.setPen(Ink(1.5));
         p.setBrush(kPaper);
         p.drawRect(QRectF(8, 15, 16, 13));
         p.setBrush(kRed);
         p.drawPolygon(QPolygonF{{4, 16}, {16, 5}, {28, 16}});
         p.setBrush(kBlue);
         p.drawRect(QRectF(14, 20, 5, 8));
     }},
    {"exit",
     [](QPainter& p) {
         // A light doorway with the door swung open into it: the paper reads on a dark toolbar, the
         // outline and the door on a light one.
         p.setPen(Ink(1.5));
         p.setBrush(kPaper);
         p.drawRect(QRectF(5, 4, 13, 24));
         p.setBrush(QColor(141, 110, 99));
         p.drawPolygon(QPolygonF{{5, 4}, {11, 7}, {11, 30}, {5, 28}});
         p.setPen(Ink(3, kRed));
         p.drawLine(QPointF(13, 16), QPointF(25, 16));
         p.setPen(Qt::NoPen);
         p.setBrush(kRed);
         p.drawPolygon(QPolygonF{{30, 16}, {24, 10}, {24, 22}});
     }},
    {"quillmark",
     [](QPainter& p) {
         // A photo of a hill under a blue sky, and a quill across its corner.
         p.setPen(Ink(1.5));
         p.setBrush(QColor(144, 202, 249));
         p.drawRect(QRectF(3, 7, 22, 20));
         p.setPen(Qt::NoPen);
         p.setBrush(kGreen);
         QPainterPath hill;
         hill.moveTo(3.75, 26.25);
         hill.quadTo(12, 12, 24.25, 22);
         hill.lineTo(24.25, 26.25);
         hill.closeSubpath();
         p.drawPath(hill);
         p.setBrush(kAmber);
         p.drawEllipse(QPointF(19, 12), 2.5, 2.5);
         QPainterPath quill;
         quill.moveTo(14, 30);
         quill.cubicTo(16, 18, 24, 6, 30, 2);
         quill.cubicTo(29, 10, 22, 22, 14, 30);
         p.setPen(Ink(1, kInk));
         p.setBrush(kPaper);
         p.drawPath(quill);
         p.drawLine(QPointF(14, 30), QPointF(26, 9));
     }},
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (const auto& icon : kIcons) {
        for (int scale : {1, 2}) {
            QImage image(32 * scale, 32 * scale, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.scale(scale, scale);
            icon.draw(painter);
            painter.end();
            const QString name =
                QString::fromLatin1(icon.name) + (scale == 2 ? QStringLiteral("@2x") : QString());
            const QString path = dir.filePath(name + QStringLiteral(".png"));
            if (!image.save(path, "png")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
    }
    return 0;
}
