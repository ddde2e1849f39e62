// A grid of text cells whose first rows and columns are fixed title cells: they look like
// headings, cannot be selected, and the title column stays in place when the grid scrolls
// sideways. Cells are addressed column first, as (column, row).
#pragma once

#include <QTableWidget>

#include <functional>
#include <string>

class QTableView;

// The moment of a drag over the grid that a drag-over handler is asked about.
enum TDragState { dsDragEnter, dsDragMove };

class TStringGrid : public QTableWidget {
public:
    // Asked on every movement of a drag over the grid; sets the accept flag when a drop at
    // (x, y) would be taken. (x, y) are in the grid's own cell-area coordinates.
    using DragOverEvent =
        std::function<void(QObject* source, int x, int y, TDragState state, bool& accept)>;
    // A drop at (x, y), delivered only where the drag-over handler accepted.
    using DragDropEvent = std::function<void(QObject* source, int x, int y)>;
    // A key pressed in the grid; returns true when it handled the key, which the grid then
    // does not handle itself.
    using KeyDownEvent = std::function<bool(int key)>;

    explicit TStringGrid(QWidget* parent);

    // Gives the grid its size; every cell is there, empty, and the title cells look fixed.
    void SetSize(int colCount, int rowCount);
    // The text of a cell; empty for a cell outside the grid.
    std::string Cells(int col, int row) const;
    // A cell outside the grid is left alone.
    void SetCells(int col, int row, const std::string& text);
    // Shows a cell's text greyed, or as usual again; a title cell or a cell not yet set is
    // left alone.
    void SetCellGreyed(int col, int row, bool greyed);
    // The cell under (x, y); column and row are both -1 for a point outside all cells.
    void MouseToCell(int x, int y, int& col, int& row) const;
    // The rectangle of a cell in the same coordinates, as drawn on the screen.
    QRect CellRect(int col, int row) const;

    int fixedCols = 1;
    int fixedRows = 1;
    DragOverEvent OnDragOver;
    DragDropEvent OnDragDrop;
    KeyDownEvent OnKeyDown;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool AskDragOver(QDropEvent* event, TDragState state);
    int FixedWidth() const;
    bool InFixedColumns(int x) const;
    void StyleCell(QTableWidgetItem* item, bool fixed) const;
    void PlaceTitleColumn();

    // Shows the fixed columns over the left of the cell area, so they stay when the rest
    // scrolls. It shares the grid's cells and lets mouse and drag events through to it.
    QTableView* titleColumn_;
};
