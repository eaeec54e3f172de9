// quillmark-make-app-icon DIR: draws the application icon, a photo print with a quill across it, into
// DIR/hicolor as the freedesktop icon theme lays it out: scalable/apps/quillmark.svg and
// NxN/apps/quillmark.png for each of the usual sizes.
//
// The drawing is described once, as paths on a 256 x 256 grid. The same description is written out as
// SVG and painted with Qt for the PNGs, so the scalable icon and the fixed sizes cannot drift apart.
// Small sizes get thicker lines, as a hand-drawn small icon would, or the outlines fade to nothing.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kGrid = 256;
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// A path kept both as Qt's path and as SVG path data, built from the same commands.
class TPath {
public:
    TPath& MoveTo(qreal x, qreal y) {
        qt_.moveTo(x, y);
        return Add('M', {x, y});
    }
    TPath& LineTo(qreal x, qreal y) {
        qt_.lineTo(x, y);
        return Add('L', {x, y});
    }
    TPath& CubicTo(qreal x1, qreal y1, qreal x2, qreal y2, qreal x, qreal y) {
        qt_.cubicTo(x1, y1, x2, y2, x, y);
        return Add('C', {x1, y1, x2, y2, x, y});
    }
    TPath& Close() {
        qt_.closeSubpath();
        data_ += QStringLiteral("Z");
        return *this;
    }
    // A rectangle with quarter-circle corners of radius r, drawn as cubic curves.
    TPath& RoundedRect(qreal left, qreal top, qreal right, qreal bottom, qreal r) {
        const qreal k = r * 0.5523; // control distance of a cubic quarter circle
        MoveTo(left + r, top).LineTo(right - r, top);
        CubicTo(right - r + k, top, right, top + r - k, right, top + r).LineTo(right, bottom - r);
        CubicTo(right, bottom - r + k, right - r + k, bottom, right - r, bottom).LineTo(left + r, bottom);
        CubicTo(left + r - k, bottom, left, bottom - r + k, left, bottom - r).LineTo(left, top + r);
        return CubicTo(left, top + r - k, left + r - k, top, left + r, top).Close();
    }
    TPath& Circle(qreal cx, qreal cy, qreal r) {
        const qreal k = r * 0.5523;
        MoveTo(cx + r, cy);
        CubicTo(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
        CubicTo(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
        CubicTo(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
        return CubicTo(cx + k, cy - r, cx + r, cy - k, cx + r, cy).Close();
    }

    QPainterPath Qt() const {
        QPainterPath path = qt_;
        path.setFillRule(Qt::WindingFill); // SVG's default, nonzero
        return path;
    }
    const QString& SvgData() const { return data_; }

private:
    TPath& Add(char command, std::initializer_list<qreal> numbers) {
        data_ += QLatin1Char(command);
        bool first = true;
        for (qreal n : numbers) {
            if (!first) data_ += QLatin1Char(' ');
            data_ += QString::number(n, 'g', 6);
            first = false;
        }
        return *this;
    }

    QPainterPath qt_;
    QString data_;
};

// A straight colour change from one point to another, in grid coordinates.
struct TGradient {
    qreal x1, y1, x2, y2;
    QColor from, to;
};

struct TShape {
    TPath path;
    std::optional<QColor> fill;
    std::optional<TGradient> gradient;
    std::optional<QColor> stroke;
    qreal strokeWidth = 0;
};

const QColor kInk(38, 50, 56);

std::vector<TShape> Drawing() {
    std::vector<TShape> shapes;
    const auto filled = [&](TPath path, QColor fill) {
        shapes.push_back({std::move(path), fill, {}, {}, 0});
    };

    // The print's shadow, its white border and the picture on it.
    filled(TPath().RoundedRect(26, 48, 218, 212, 14), QColor(0, 0, 0, 50));
    shapes.push_back({TPath().RoundedRect(20, 40, 212, 204, 12), QColor(250, 250, 250), {}, kInk, 6});
    shapes.push_back({TPath().MoveTo(36, 56).LineTo(196, 56).LineTo(196, 188).LineTo(36, 188).Close(),
                      {},
                      TGradient{0, 56, 0, 188, QColor(66, 165, 245), QColor(187, 222, 251)},
                      {},
                      0});
    filled(TPath().Circle(150, 92, 17), QColor(255, 202, 40));
    filled(TPath()
               .MoveTo(36, 150)
               .CubicTo(70, 118, 108, 116, 140, 136)
               .CubicTo(160, 126, 180, 122, 196, 128)
               .LineTo(196, 188)
               .LineTo(36, 188)
               .Close(),
           QColor(129, 199, 132));
    filled(
        TPath().MoveTo(36, 172).CubicTo(80, 144, 132, 150, 196, 176).LineTo(196, 188).LineTo(36, 188).Close(),
        QColor(56, 142, 60));
    shapes.push_back(
        {TPath().MoveTo(36, 56).LineTo(196, 56).LineTo(196, 188).LineTo(36, 188).Close(), {}, {}, kInk, 3});

    // The quill, from its nib at the lower left up past the print's corner, and the stroke it has just
    // written.
    shapes.push_back(
        {TPath().MoveTo(40, 238).CubicTo(58, 226, 72, 246, 92, 236), {}, {}, QColor(30, 136, 229), 7});
    shapes.push_back({TPath()
                          .MoveTo(106, 218)
                          .CubicTo(122, 150, 176, 62, 246, 10)
                          .CubicTo(238, 82, 190, 168, 118, 226)
                          .Close(),
                      {},
                      TGradient{118, 226, 246, 10, QColor(236, 239, 241), QColor(255, 255, 255)},
                      kInk,
                      5});
    shapes.push_back({TPath().MoveTo(98, 232).CubicTo(146, 158, 196, 84, 240, 18), {}, {}, kInk, 4});
    filled(TPath().MoveTo(90, 244).LineTo(97, 222).LineTo(112, 231).Close(), kInk);
    return shapes;
}

QString SvgColor(const QColor& color) {
    return color.name(QColor::HexRgb);
}

QString SvgOpacity(const char* attribute, const QColor& color) {
    if (color.alpha() == 255) return QString();
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(attribute)).arg(color.alphaF(), 0, 'g', 3);
}

QString Svg(const std::vector<TShape>& shapes) {
    QString defs;
    QString body;
    int gradients = 0;
    for (const TShape& shape : shapes) {
        QString fill = QStringLiteral("none");
        QString extra;
        if (shape.gradient) {
            const TGradient& g = *shape.gradient;
            const QString id = QStringLiteral("g%1").arg(++gradients);
            defs += QStringLiteral("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" "
                                   "y1=\"%3\" x2=\"%4\" y2=\"%5\">\n"
                                   "      <stop offset=\"0\" stop-color=\"%6\"/>\n"
                                   "      <stop offset=\"1\" stop-color=\"%7\"/>\n"
                                   "    </linearGradient>\n")
                        .arg(id)
                        .arg(g.x1)
                        .arg(g.y1)
                        .arg(g.x2)
                        .arg(g.y2)
                        .arg(SvgColor(g.from), SvgColor(g.to));
            fill = QStringLiteral("url(#%1)").arg(id);
        } else if (shape.fill) {
            fill = SvgColor(*shape.fill);
            extra += SvgOpacity("fill-opacity", *shape.fill);
        }
        if (shape.stroke) {
            extra += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linejoin=\"round\" "
                                    "stroke-linecap=\"round\"")
                         .arg(SvgColor(*shape.stroke))
                         .arg(shape.strokeWidth);
            extra += SvgOpacity("stroke-opacity", *shape.stroke);
        }
        body += QStringLiteral("  <path d=\"%1\" fill=\"%2\"%3/>\n").arg(shape.path.SvgData(), fill, extra);
    }
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!-- Quillmark: a photo print and a quill. Made by quillmark-make-app-icon. -->\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                          "viewBox=\"0 0 %1 %1\">\n"
                          "  <defs>\n%2  </defs>\n%3</svg>\n")
        .arg(kGrid)
        .arg(defs, body);
}

QImage Render(const std::vector<TShape>& shapes, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(size) / kGrid, qreal(size) / kGrid);
    // Below 40 pixels a line of the drawing would be thinner than half a pixel.
    const qreal thicken = std::clamp(40.0 / size, 1.0, 1.6);
    for (const TShape& shape : shapes) {
        const QPainterPath path = shape.path.Qt();
        if (shape.gradient) {
            const TGradient& g = *shape.gradient;
            QLinearGradient gradient(g.x1, g.y1, g.x2, g.y2);
            gradient.setColorAt(0, g.from);
            gradient.setColorAt(1, g.to);
            painter.fillPath(path, gradient);
        } else if (shape.fill) {
            painter.fillPath(path, *shape.fill);
        }
        if (shape.stroke) {
            QPen pen(*shape.stroke, shape.strokeWidth * thicken);
            pen.setJoinStyle(Qt::RoundJoin);
            pen.setCapStyle(Qt::RoundCap);
            painter.strokePath(path, pen);
        }
    }
    painter.end();
    return image;
}

bool WriteText(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor"));
    const std::vector<TShape> shapes = Drawing();

    const QString scalable = root.filePath(QStringLiteral("scalable/apps"));
    if (!QDir().mkpath(scalable) || !WriteText(scalable + QStringLiteral("/quillmark.svg"), Svg(shapes))) {
        std::fprintf(stderr, "cannot write %s/quillmark.svg\n", qPrintable(scalable));
        return 1;
    }
    for (int size : kSizes) {
        const QString folder = root.filePath(QStringLiteral("%1x%1/apps").arg(size));
        const QString file = folder + QStringLiteral("/quillmark.png");
        if (!QDir().mkpath(folder) || !Render(shapes, size).save(file, "png")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
