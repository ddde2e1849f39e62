// The found-device list and the registration grid: drag-over acceptance at real cell
// positions, drops, releases, and real drag events on the grid's cell area.
#include "UiFixture.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>

// The demo list: 111111, 222222 (found twice, listed once, registered at row 2), 666666,
// 777777.
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
    Select(1);
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
    EXPECT_EQ(window->lvDevices->count(), 4) << "the item stays in the list";
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

    // A slave that another row still holds stays registered; the master may hold one ID at
    // two positions, in either case of its hex letters.
    grid->SetCells(1, 3, "00a0c8222222");
    grid->clearSelection();
    grid->setCurrentCell(2, 1);
    Release();
    EXPECT_EQ(Cell(2), "000000000000");
    EXPECT_EQ(Mark(1), imgRegistered);
    grid->setCurrentCell(3, 1);
    Release();
    EXPECT_EQ(Mark(1), imgFree);

    // An ID not in the list only clears its cell; a free row stays free; the title stays.
    grid->SetCells(1, 2, "0123456789AB");
    grid->setCurrentCell(2, 1);
    Release();
    Release();
    EXPECT_EQ(Cell(2), "000000000000");
    EXPECT_EQ(Cell(0), "Device ID");
}

// One slave, one position; only an ID the master can hold. Whatever marks the list shows,
// a drop is refused for an ID another row holds (in either case) or a malformed ID.
TEST_F(GridTest, NoSlaveAtTwoPositionsAndNoMalformedId) {
    window->sgGrid->SetCells(1, 3, "00a0c8111111");
    window->MarkRegisteredDevices();
    EXPECT_EQ(Mark(0), imgRegistered) << "the master answered in lower case";
    window->SetImageIndex(window->lvDevices->item(0), imgFree);
    Select(0);
    EXPECT_FALSE(DragOverAt(CellCentre(1, 7)));
    DropAt(CellCentre(1, 7));
    EXPECT_EQ(Cell(7), "000000000000");

    for (const char* id : {"00A0C8XYZ123", "00A0C81111", "00A0C81111112", "00A0C8 11111"}) {
        QListWidgetItem* item = window->AddDeviceItem(imgFree, id);
        window->lvDevices->setCurrentItem(item);
        EXPECT_FALSE(DragOverAt(CellCentre(1, 7))) << id;
        DropAt(CellCentre(1, 7));
        EXPECT_EQ(Cell(7), "000000000000") << id;
    }
    QListWidgetItem* lower = window->AddDeviceItem(imgFree, "00a0c8abcdef");
    window->lvDevices->setCurrentItem(lower);
    EXPECT_TRUE(DragOverAt(CellCentre(1, 7))) << "either case is well formed";
    DropAt(CellCentre(1, 7));
    EXPECT_EQ(Cell(7), "00A0C8ABCDEF") << "registered as the module's set commands carry it";
    EXPECT_EQ(TfmMain::ImageIndex(lower), imgRegistered);
}

// The keyboard's way: Return registers at the current row by the drop's rule, Delete
// releases as the button does, a double-click fills the first free row.
TEST_F(GridTest, KeysAndDoubleClickRegisterAndReleaseByTheSameRules) {
    TStringGrid* grid = window->sgGrid;
    auto key = [grid](int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::sendEvent(grid, &press);
    };
    Select(0);
    grid->setCurrentCell(2, 1);
    key(Qt::Key_Return);
    EXPECT_EQ(Cell(2), "00A0C8222222") << "an occupied row";
    grid->setCurrentCell(3, 0);
    key(Qt::Key_Return);
    EXPECT_EQ(Cell(3), "000000000000") << "the Switch column";
    grid->setCurrentCell(3, 1);
    key(Qt::Key_Enter);
    EXPECT_EQ(Cell(3), "00A0C8111111");
    EXPECT_EQ(Mark(0), imgRegistered);
    grid->setCurrentCell(4, 1);
    key(Qt::Key_Return);
    EXPECT_EQ(Cell(4), "000000000000") << "a registered slave selected";

    window->lvDevices->itemDoubleClicked(window->lvDevices->item(2));
    EXPECT_EQ(Cell(1), "00A0C8666666") << "the first free row";
    window->lvDevices->itemDoubleClicked(window->lvDevices->item(2));
    EXPECT_EQ(Cell(4), "000000000000") << "registered once only";

    grid->setCurrentCell(1, 1);
    grid->setRangeSelected(QTableWidgetSelectionRange(1, 1, 3, 1), true);
    window->btnRelease->setEnabled(false);
    key(Qt::Key_Delete);
    EXPECT_EQ(Cell(1), "00A0C8666666") << "not while Release may not be used";
    window->btnRelease->setEnabled(true);
    key(Qt::Key_Delete);
    for (int row = 1; row <= 3; row++)
        EXPECT_EQ(Cell(row), "000000000000") << row;
    EXPECT_EQ(Mark(0), imgFree);
    EXPECT_EQ(Mark(1), imgFree);

    for (int row = 1; row <= 14; row++)
        grid->SetCells(1, row, "0123456789" + std::to_string(10 + row));
    window->lvDevices->itemDoubleClicked(window->lvDevices->item(3));
    EXPECT_EQ(Mark(3), imgFree) << "no free row: nothing happens";
}
