#include "Images.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>

#include <cmath>

namespace {

// The outline of a thick arrow: `shaft` stroked `width` wide, and a head that starts where
// the shaft ends and points on along the shaft's last direction.
QPainterPath ArrowOutline(const QPainterPath& shaft, qreal width, qreal headLength,
                          qreal headWidth) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath outline = stroker.createStroke(shaft);

    QPointF end = shaft.pointAtPercent(1.0);
    QPointF before = shaft.pointAtPercent(0.98);
    QPointF direction = end - before;
    qreal length = std::hypot(direction.x(), direction.y());
    if (length > 0)
        direction /= length;
    QPointF across(-direction.y(), direction.x());

    QPainterPath head;
    head.moveTo(end + direction * headLength);
    head.lineTo(end + across * (headWidth / 2));
    head.lineTo(end - across * (headWidth / 2));
    head.closeSubpath();
    return outline.united(head).simplified();
}

void FillArrow(QPainter& painter, const QPainterPath& arrow, const QColor& light,
               const QColor& dark) {
    QRectF bounds = arrow.boundingRect();
    QLinearGradient fill(bounds.topLeft(), bounds.bottomLeft());
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    painter.setBrush(fill);
    painter.setPen(QPen(dark.darker(150), 0.8));
    painter.drawPath(arrow);
}

} // namespace

void DrawDragDropArrow(QPainter& painter, const QRectF& area) {
    const qreal w = area.width();
    const qreal h = area.height();
    painter.save();
    painter.translate(area.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);

    // The arrow takes the upper two thirds: it rises from the list side and comes down
    // towards the grid side.
    QPainterPath shaft(QPointF(0.08 * w, 0.62 * h));
    shaft.cubicTo(QPointF(0.22 * w, 0.02 * h), QPointF(0.62 * w, -0.02 * h),
                  QPointF(0.76 * w, 0.40 * h));
    QPainterPath arrow = ArrowOutline(shaft, 0.10 * h, 0.22 * h, 0.30 * h);
    FillArrow(painter, arrow, QColor(0x6f, 0xb1, 0xf5), QColor(0x1a, 0x5f, 0xc4));

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(1, static_cast<int>(0.24 * h)));
    painter.setFont(font);
    painter.setPen(QColor(0x12, 0x2e, 0x5c));
    painter.drawText(QRectF(0, 0.68 * h, w, 0.32 * h), Qt::AlignCenter,
                     QStringLiteral("Drag & Drop"));
    painter.restore();
}

void DrawCycleSymbol(QPainter& painter, const QRectF& area) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = area.center();
    const qreal radius = 0.34 * std::min(area.width(), area.height());
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const qreal width = 0.30 * radius;

    // Two arcs of 130 degrees, both running clockwise, each ending in a head in the gap
    // before the other one.
    struct Arc {
        qreal start;
        QColor light;
        QColor dark;
    };
    const Arc arcs[] = {{160, QColor(0x7a, 0xd6, 0x7f), QColor(0x23, 0x8a, 0x33)},
                        {-20, QColor(0x6f, 0xb1, 0xf5), QColor(0x1a, 0x5f, 0xc4)}};
    for (const Arc& arc : arcs) {
        QPainterPath shaft;
        shaft.arcMoveTo(circle, arc.start);
        shaft.arcTo(circle, arc.start, -130);
        FillArrow(painter, ArrowOutline(shaft, width, 0.55 * radius, 0.62 * radius), arc.light,
                  arc.dark);
    }
    painter.restore();
}

void DrawDeviceSymbol(QPainter& painter, const QRectF& area, bool coloured) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 16 x 16 grid, with lines on half pixels so the 16-pixel icon is sharp.
    painter.translate(area.topLeft());
    painter.scale(area.width() / 16, area.height() / 16);

    const QColor outline = coloured ? QColor(0x0f, 0x3a, 0x78) : QColor(0x7a, 0x7a, 0x7a);
    const QColor bodyLight = coloured ? QColor(0x4d, 0x95, 0xec) : QColor(0xd6, 0xd6, 0xd6);
    const QColor bodyDark = coloured ? QColor(0x1c, 0x5b, 0xb5) : QColor(0xa6, 0xa6, 0xa6);
    const QColor tip = coloured ? QColor(0xe0, 0x3c, 0x31) : QColor(0x9a, 0x9a, 0x9a);
    const QColor screen = coloured ? QColor(0xc4, 0xf2, 0xc6) : QColor(0xee, 0xee, 0xee);
    const QColor lamp = coloured ? QColor(0xff, 0xd2, 0x3f) : QColor(0xc8, 0xc8, 0xc8);

    painter.setPen(QPen(outline, 1.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(11.5, 6.0), QPointF(11.5, 2.5));
    painter.setBrush(tip);
    painter.drawEllipse(QPointF(11.5, 2.2), 1.4, 1.4);

    QLinearGradient body(QPointF(0, 6), QPointF(0, 14.5));
    body.setColorAt(0, bodyLight);
    body.setColorAt(1, bodyDark);
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(1.5, 6.5, 13, 8), 1.5, 1.5);

    painter.setBrush(screen);
    painter.drawRect(QRectF(3.5, 8.5, 6, 3));
    painter.setPen(Qt::NoPen);
    painter.setBrush(lamp);
    painter.drawEllipse(QPointF(12, 11.5), 1.1, 1.1);
    painter.restore();
}

QIcon DeviceIcon(bool coloured) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        DrawDeviceSymbol(painter, QRectF(0, 0, size, size), coloured);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

TPicture::TPicture(Drawing drawing, QWidget* parent) : QWidget(parent), drawing_(drawing) {}

void TPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawing_(painter, QRectF(rect()));
}
