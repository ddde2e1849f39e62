// The tool's pictures, drawn as vector shapes so they stay crisp at any screen scale.
#pragma once

#include <QIcon>
#include <QWidget>

class QPainter;
class QRectF;

// Each drawing fills `area`; the shapes are laid out in fractions of it.
// A curved arrow from the list over to the grid, above the words "Drag & Drop".
void DrawDragDropArrow(QPainter& painter, const QRectF& area);
// Two curved arrows chasing each other round a circle.
void DrawCycleSymbol(QPainter& painter, const QRectF& area);
// A slave unit: a small instrument box with an antenna, in colour or greyed.
void DrawDeviceSymbol(QPainter& painter, const QRectF& area, bool coloured);

// The device symbol as a 16 x 16 icon, with sharper versions for scaled screens.
QIcon DeviceIcon(bool coloured);

// A picture control: paints one of the drawings above over its whole area.
class TPicture : public QWidget {
public:
    using Drawing = void (*)(QPainter&, const QRectF&);

    TPicture(Drawing drawing, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Drawing drawing_;
};
