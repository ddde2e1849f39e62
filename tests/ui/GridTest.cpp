// The found-device list and the registration grid: drag-over acceptance at real cell
// positions, drops, releases, and the wiring of real drag events.
#include "UiFixture.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>

namespace {

// Item rows of the demo list: 111111, 222222, 666666, 777777, then 222222 again
// (registered at position 2).
constexpr int FreeItem = 0;
constexpr int RegisteredItem = 4;

} // namespace

class GridTest : public UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        Start(DemoScenario);
        SimClearLogs();
    }
    void Select(int row) { window->lvDevices->setCurrentRow(row); }
    std::string Cell(int row) const { return window->sgGrid->Cells(1, row); }
};

TEST_F(GridTest, DragOverAcceptsOnlyAFreeItemOnAFreeIdCell) {
    TStringGrid* grid = window->sgGrid;
    grid->SetCells(1, 3, "");

    EXPECT_FALSE(DragOverAt(CellCentre(1, 1))) << "no item selected";
    Select(FreeItem);
    EXPECT_TRUE(DragOverAt(CellCentre(1, 1))) << "000000000000";
    EXPECT_TRUE(DragOverAt(CellCentre(1, 3))) << "an empty cell is free";
    EXPECT_TRUE(DragOverAt(CellCentre(1, 14)));
    EXPECT_FALSE(DragOverAt(CellCentre(1, 2))) << "a row holding another ID";
    EXPECT_FALSE(DragOverAt(CellCentre(0, 1))) << "the Switch column";
    EXPECT_FALSE(DragOverAt(CellCentre(0, 0)));
    EXPECT_FALSE(DragOverAt(CellCentre(1, 0))) << "the title row";
    const QRect last = grid->CellRect(1, 14);
    EXPECT_FALSE(DragOverAt(QPoint(last.center().x(), last.bottom() + 6))) << "below row 14";
    EXPECT_FALSE(DragOverAt(QPoint(-5, -5)));

    bool accept = false;
    window->sgGridDragOver(grid, nullptr, CellCentre(1, 1).x(), CellCentre(1, 1).y(), dsDragEnter,
                           accept);
    EXPECT_TRUE(accept) << "any state, any source";

    Select(RegisteredItem);
    EXPECT_FALSE(DragOverAt(CellCentre(1, 1))) << "a greyed item";
    EXPECT_TRUE(ModuleCommands().empty());
}

TEST_F(GridTest, TheSwitchColumnStaysPutWhenTheGridScrollsSideways) {
    TStringGrid* grid = window->sgGrid;
    grid->resize(221, 318);
    QScrollBar* bar = grid->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the ID column is wider than the pane";
    bar->setValue(bar->maximum());
    Select(FreeItem);

    int col = -1;
    int row = -1;
    grid->MouseToCell(10, CellCentre(1, 1).y(), col, row);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(row, 1);
    EXPECT_FALSE(DragOverAt(QPoint(10, CellCentre(1, 1).y())));
    grid->MouseToCell(80, CellCentre(1, 1).y(), col, row);
    EXPECT_EQ(col, 1);
    EXPECT_TRUE(DragOverAt(QPoint(80, CellCentre(1, 1).y())));
}

TEST_F(GridTest, ADropRegistersTheItemInTheGridOnly) {
    Select(FreeItem);
    window->sgGridDragDrop(window->sgGrid, window->lvDevices, CellCentre(1, 7).x(),
                           CellCentre(1, 7).y());
    EXPECT_EQ(Cell(7), "00A0C8111111");
    EXPECT_EQ(TfmMain::ImageIndex(Item(FreeItem)), imgRegistered);
    EXPECT_FALSE(DragOverAt(CellCentre(1, 8))) << "now greyed";

    window->lvDevices->clearSelection();
    window->sgGridDragDrop(window->sgGrid, window->lvDevices, CellCentre(1, 9).x(),
                           CellCentre(1, 9).y());
    EXPECT_EQ(Cell(9), "000000000000") << "no item selected: nothing dropped";
    EXPECT_TRUE(ModuleCommands().empty()) << "nothing reaches the master before the close";
}

// Drag events as the toolkit delivers them to the grid's cell area: each drag enters,
// moves, and ends in one drop.
TEST_F(GridTest, DragEventsOnTheCellAreaReachTheHandlers) {
    window->show();
    QWidget* area = window->sgGrid->viewport();
    QMimeData data;
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    auto send = [area](QEvent&& event) {
        QApplication::sendEvent(area, &event);
        return event.isAccepted();
    };
    Select(FreeItem);

    EXPECT_TRUE(
        send(QDragEnterEvent(CellCentre(1, 2), actions, &data, Qt::LeftButton, Qt::NoModifier)))
        << "a drag is let in, to be asked about at each movement";
    EXPECT_FALSE(
        send(QDragMoveEvent(CellCentre(1, 2), actions, &data, Qt::LeftButton, Qt::NoModifier)));
    QDragMoveEvent free(CellCentre(1, 4), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &free);
    EXPECT_TRUE(free.isAccepted());
    EXPECT_EQ(free.dropAction(), Qt::CopyAction) << "the item stays in the list";
    EXPECT_FALSE(
        send(QDropEvent(CellCentre(1, 2), actions, &data, Qt::LeftButton, Qt::NoModifier)));
    EXPECT_EQ(Cell(2), "00A0C8222222") << "a drop lands only where the drag-over accepts";

    send(QDragEnterEvent(CellCentre(1, 4), actions, &data, Qt::LeftButton, Qt::NoModifier));
    EXPECT_TRUE(send(QDropEvent(CellCentre(1, 4), actions, &data, Qt::LeftButton, Qt::NoModifier)));
    EXPECT_EQ(Cell(4), "00A0C8111111");
    EXPECT_EQ(window->lvDevices->count(), 5);
    EXPECT_EQ(TfmMain::ImageIndex(Item(FreeItem)), imgRegistered);
}

TEST_F(GridTest, ReleaseFreesTheSelectedRowsAndTheirItems) {
    TStringGrid* grid = window->sgGrid;
    grid->SetCells(1, 3, "00A0C8111111");
    grid->SetCells(1, 4, "00A0C8666666");
    grid->SetCells(1, 5, "00A0C8777777");
    window->MarkRegisteredDevices();
    for (int row : {0, 2, 3})
        ASSERT_EQ(TfmMain::ImageIndex(Item(row)), imgRegistered);

    grid->setCurrentCell(3, 1);
    grid->setRangeSelected(QTableWidgetSelectionRange(3, 1, 5, 1), true);
    window->btnReleaseClick(window->btnRelease);
    for (int row = 3; row <= 5; row++)
        EXPECT_EQ(Cell(row), "000000000000") << "row " << row;
    for (int row : {0, 2, 3})
        EXPECT_EQ(TfmMain::ImageIndex(Item(row)), imgFree) << "item " << row;
    EXPECT_EQ(Cell(2), "00A0C8222222") << "outside the range";
    EXPECT_EQ(Cell(6), "000000000000");

    // Of two items with one ID only the later one is freed.
    window->SetImageIndex(Item(1), imgRegistered);
    grid->clearSelection();
    grid->setCurrentCell(2, 1);
    window->btnReleaseClick(window->btnRelease);
    EXPECT_EQ(Cell(2), "000000000000");
    EXPECT_EQ(TfmMain::ImageIndex(Item(1)), imgRegistered);
    EXPECT_EQ(TfmMain::ImageIndex(Item(4)), imgFree);

    // An ID not in the list only clears its cell; a free row stays free.
    grid->SetCells(1, 4, "0123456789AB");
    grid->setCurrentCell(4, 1);
    window->btnReleaseClick(window->btnRelease);
    EXPECT_EQ(Cell(4), "000000000000");
    window->btnReleaseClick(window->btnRelease);
    EXPECT_EQ(Cell(4), "000000000000");
    EXPECT_EQ(TfmMain::ImageIndex(Item(1)), imgRegistered) << "no item touched";
    EXPECT_EQ(grid->Cells(1, 0), "Device ID");
    EXPECT_TRUE(ModuleCommands().empty());
}
