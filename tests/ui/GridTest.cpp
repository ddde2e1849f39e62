// The found-device list and the registration grid: drag-over acceptance at real cell
// positions, drops, releases, and real drag events on the grid's cell area.
#include "UiFixture.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QScrollBar>

// The demo list: 111111, 222222, 666666, 777777, then 222222 again (registered, row 2).
class GridTest : public UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        Start(DemoScenario);
        SimClearLogs();
    }
    void TearDown() override {
        EXPECT_TRUE(ModuleCommands().empty()) << "the grid alone sends nothing";
        UiFixture::TearDown();
    }
    void Select(int row) { window->lvDevices->setCurrentRow(row); }
};

TEST_F(GridTest, DragOverAcceptsOnlyAFreeItemOnAFreeIdCell) {
    window->sgGrid->SetCells(1, 3, "");
    EXPECT_FALSE(DragOverAt(CellCentre(1, 1))) << "no item selected";
    Select(0);
    EXPECT_TRUE(DragOverAt(CellCentre(1, 1))) << "000000000000";
    EXPECT_TRUE(DragOverAt(CellCentre(1, 3))) << "an empty cell is free";
    EXPECT_TRUE(DragOverAt(CellCentre(1, 14)));
    EXPECT_FALSE(DragOverAt(CellCentre(1, 2))) << "a row holding another ID";
    EXPECT_FALSE(DragOverAt(CellCentre(0, 1))) << "the Switch column";
    EXPECT_FALSE(DragOverAt(CellCentre(1, 0))) << "the title row";
    const QRect last = window->sgGrid->CellRect(1, 14);
    EXPECT_FALSE(DragOverAt(QPoint(last.center().x(), last.bottom() + 6))) << "below row 14";
    EXPECT_FALSE(DragOverAt(QPoint(-5, -5)));
    bool accept = false;
    window->sgGridDragOver(window->sgGrid, nullptr, CellCentre(1, 1).x(), CellCentre(1, 1).y(),
                           dsDragEnter, accept);
    EXPECT_TRUE(accept) << "any state, any source";
    Select(4);
    EXPECT_FALSE(DragOverAt(CellCentre(1, 1))) << "a greyed item";

    // Scrolled sideways, the Switch column stays where it was.
    window->sgGrid->resize(221, 318);
    QScrollBar* bar = window->sgGrid->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the ID column is wider than the pane";
    bar->setValue(bar->maximum());
    Select(0);
    EXPECT_FALSE(DragOverAt(QPoint(10, CellCentre(1, 1).y())));
    EXPECT_TRUE(DragOverAt(QPoint(80, CellCentre(1, 1).y())));
}

TEST_F(GridTest, ADropRegistersTheSelectedItemInTheGridOnly) {
    Select(0);
    DropAt(CellCentre(1, 7));
    EXPECT_EQ(Cell(7), "00A0C8111111");
    EXPECT_EQ(Mark(0), imgRegistered);
    EXPECT_FALSE(DragOverAt(CellCentre(1, 8))) << "greyed at once";
    window->lvDevices->clearSelection();
    DropAt(CellCentre(1, 9));
    EXPECT_EQ(Cell(9), "000000000000") << "no item selected: nothing dropped";
}

// As the toolkit delivers them: each drag enters, moves, and ends in one drop.
TEST_F(GridTest, DragEventsOnTheCellAreaReachTheHandlers) {
    window->show();
    QMimeData data;
    auto send = [this, &data](QEvent::Type type, QPoint at) {
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        std::unique_ptr<QDropEvent> event;
        if (type == QEvent::DragEnter)
            event.reset(new QDragEnterEvent(at, actions, &data, Qt::LeftButton, {}));
        else if (type == QEvent::DragMove)
            event.reset(new QDragMoveEvent(at, actions, &data, Qt::LeftButton, {}));
        else
            event.reset(new QDropEvent(at, actions, &data, Qt::LeftButton, {}));
        QApplication::sendEvent(window->sgGrid->viewport(), event.get());
        EXPECT_TRUE(!event->isAccepted() || event->dropAction() == Qt::CopyAction);
        return event->isAccepted();
    };
    Select(0);
    EXPECT_TRUE(send(QEvent::DragEnter, CellCentre(1, 2))) << "let in, asked at each move";
    EXPECT_FALSE(send(QEvent::DragMove, CellCentre(1, 2)));
    EXPECT_TRUE(send(QEvent::DragMove, CellCentre(1, 4)));
    EXPECT_FALSE(send(QEvent::Drop, CellCentre(1, 2)));
    EXPECT_EQ(Cell(2), "00A0C8222222") << "a drop lands only where the drag-over accepts";

    send(QEvent::DragEnter, CellCentre(1, 4));
    EXPECT_TRUE(send(QEvent::Drop, CellCentre(1, 4)));
    EXPECT_EQ(Cell(4), "00A0C8111111");
    EXPECT_EQ(window->lvDevices->count(), 5) << "the item stays in the list";
    EXPECT_EQ(Mark(0), imgRegistered);
}

TEST_F(GridTest, ReleaseFreesTheSelectedRowsAndTheirItems) {
    TStringGrid* grid = window->sgGrid;
    grid->SetCells(1, 3, "00A0C8111111");
    grid->SetCells(1, 4, "00A0C8666666");
    grid->SetCells(1, 5, "00A0C8777777");
    window->MarkRegisteredDevices();
    grid->setCurrentCell(3, 1);
    grid->setRangeSelected(QTableWidgetSelectionRange(3, 1, 5, 1), true);
    Release();
    for (int row = 3; row <= 5; row++)
        EXPECT_EQ(Cell(row), "000000000000") << row;
    for (int item : {0, 2, 3})
        EXPECT_EQ(Mark(item), imgFree) << item;
    EXPECT_EQ(Cell(2), "00A0C8222222") << "outside the range";

    // Of two items with one ID only the later one is freed.
    window->SetImageIndex(window->lvDevices->item(1), imgRegistered);
    grid->clearSelection();
    grid->setCurrentCell(2, 1);
    Release();
    EXPECT_EQ(Cell(2), "000000000000");
    EXPECT_EQ(Mark(1), imgRegistered);
    EXPECT_EQ(Mark(4), imgFree);

    // An ID not in the list only clears its cell; a free row stays free; the title stays.
    grid->SetCells(1, 2, "0123456789AB");
    Release();
    Release();
    EXPECT_EQ(Cell(2), "000000000000");
    EXPECT_EQ(Mark(1), imgRegistered);
    EXPECT_EQ(Cell(0), "Device ID");
}
