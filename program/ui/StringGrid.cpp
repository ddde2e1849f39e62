#include "StringGrid.h"

#include "Forms.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>

namespace {

// Rows and columns keep the sizes they are given; nothing is resized with the mouse.
void FixSections(QHeaderView* header, int defaultSize) {
    header->hide();
    header->setMinimumSectionSize(1);
    header->setDefaultSectionSize(defaultSize);
    header->setSectionResizeMode(QHeaderView::Fixed);
}

} // namespace

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(parent) {
    FixSections(horizontalHeader(), 64);
    FixSections(verticalHeader(), 16);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A cell made current never scrolls the grid sideways: the ID column is wider than the
    // pane, and showing all of it would push the IDs' first digits out of sight.
    setAutoScroll(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setDropIndicatorShown(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);

    titleColumn_ = new QTableView(this);
    titleColumn_->setModel(model());
    FixSections(titleColumn_->horizontalHeader(), 64);
    FixSections(titleColumn_->verticalHeader(), 16);
    titleColumn_->setFocusPolicy(Qt::NoFocus);
    titleColumn_->setSelectionMode(QAbstractItemView::NoSelection);
    titleColumn_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    titleColumn_->setFrameShape(QFrame::NoFrame);
    titleColumn_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    titleColumn_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    titleColumn_->setWordWrap(false);
    titleColumn_->setAttribute(Qt::WA_TransparentForMouseEvents);
    viewport()->stackUnder(titleColumn_);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, titleColumn_->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                titleColumn_->setColumnWidth(column, size);
                PlaceTitleColumn();
            });
    connect(model(), &QAbstractItemModel::columnsInserted, this, [this] {
        for (int col = 0; col < columnCount(); col++)
            titleColumn_->setColumnHidden(col, col >= fixedCols);
        PlaceTitleColumn();
    });
}

void TStringGrid::SetSize(int colCount, int rowCount) {
    setColumnCount(colCount);
    setRowCount(rowCount);
    for (int row = 0; row < rowCount; row++) {
        for (int col = 0; col < colCount; col++) {
            QTableWidgetItem* cell = item(row, col);
            if (!cell) {
                cell = new QTableWidgetItem;
                setItem(row, col, cell);
            }
            StyleCell(cell, col < fixedCols || row < fixedRows);
        }
    }
}

std::string TStringGrid::Cells(int col, int row) const {
    const QTableWidgetItem* cell = item(row, col);
    return cell ? ToStdString(cell->text()) : std::string();
}

void TStringGrid::SetCells(int col, int row, const std::string& text) {
    if (col < 0 || col >= columnCount() || row < 0 || row >= rowCount())
        return;
    QTableWidgetItem* cell = item(row, col);
    if (!cell) {
        cell = new QTableWidgetItem;
        StyleCell(cell, col < fixedCols || row < fixedRows);
        setItem(row, col, cell);
    }
    cell->setText(ToQString(text));
}

void TStringGrid::SetCellGreyed(int col, int row, bool greyed) {
    QTableWidgetItem* cell = item(row, col);
    if (!cell || col < fixedCols || row < fixedRows)
        return;
    // Still selectable, so that the keyboard can move over it; only its text is greyed.
    cell->setForeground(greyed ? palette().brush(QPalette::Disabled, QPalette::Text)
                               : palette().text());
}

void TStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
    col = -1;
    if (InFixedColumns(x)) {
        // The title columns stand still: count their widths from the left edge.
        int left = 0;
        for (int fixed = 0; fixed < fixedCols && fixed < columnCount(); fixed++) {
            if (x < left + columnWidth(fixed)) {
                col = fixed;
                break;
            }
            left += columnWidth(fixed);
        }
    } else {
        col = columnAt(x);
    }
    row = rowAt(y);
    if (col < 0 || row < 0) {
        col = -1;
        row = -1;
    }
}

QRect TStringGrid::CellRect(int col, int row) const {
    if (col < 0 || col >= columnCount() || row < 0 || row >= rowCount())
        return QRect();
    int left = columnViewportPosition(col);
    if (col < fixedCols) {
        left = 0;
        for (int fixed = 0; fixed < col; fixed++)
            left += columnWidth(fixed);
    }
    return QRect(left, rowViewportPosition(row), columnWidth(col), rowHeight(row));
}

// A drag is always let in, so that every later movement is asked about; the movement that
// follows each entry at once decides whether the drop is offered.
void TStringGrid::dragEnterEvent(QDragEnterEvent* event) {
    AskDragOver(event, dsDragEnter);
    event->accept();
}

void TStringGrid::dragMoveEvent(QDragMoveEvent* event) {
    AskDragOver(event, dsDragMove);
}

void TStringGrid::dropEvent(QDropEvent* event) {
    // Asked once more at the drop itself, so a drop lands only where it is accepted.
    if (!AskDragOver(event, dsDragMove))
        return;
    QPoint at = event->position().toPoint();
    if (OnDragDrop)
        OnDragDrop(event->source(), at.x(), at.y());
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown && OnKeyDown(event->key())) {
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
    // The title column covers cells scrolled beneath it; a click there selects nothing.
    if (InFixedColumns(event->position().toPoint().x())) {
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (InFixedColumns(event->position().toPoint().x())) {
        event->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

void TStringGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    PlaceTitleColumn();
}

bool TStringGrid::AskDragOver(QDropEvent* event, TDragState state) {
    bool accept = false;
    QPoint at = event->position().toPoint();
    if (OnDragOver)
        OnDragOver(event->source(), at.x(), at.y(), state, accept);
    if (accept) {
        // A copy: the dragged item stays where it came from.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    return accept;
}

int TStringGrid::FixedWidth() const {
    int width = 0;
    for (int col = 0; col < fixedCols && col < columnCount(); col++)
        width += columnWidth(col);
    return width;
}

bool TStringGrid::InFixedColumns(int x) const {
    return x >= 0 && x < FixedWidth();
}

void TStringGrid::StyleCell(QTableWidgetItem* cell, bool fixed) const {
    if (fixed) {
        cell->setFlags(Qt::NoItemFlags);
        cell->setBackground(palette().button());
        cell->setForeground(palette().buttonText());
    } else {
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
}

void TStringGrid::PlaceTitleColumn() {
    QRect area = viewport()->geometry();
    titleColumn_->setGeometry(area.x(), area.y(), FixedWidth(), area.height());
}
