// The main window's two panes: the found-device list, the registration grid, and what the
// user does with them.
#include "Main.h"

#include "Forms.h"
#include "Msgdlg.h"

#include "platform/Ui.h"
#include "program/btdevice/Btdevice.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cctype>

namespace {

constexpr int GridRows = 15;
constexpr int GridCols = 2;
constexpr int FirstPosition = 1;
constexpr int LastPosition = 14;
constexpr int IdColumn = 1;
constexpr int ImageIndexRole = Qt::UserRole;

// The signal strength a search record's detail carries, as in "rssi -48": its last signed
// whole number. False when it has none.
bool SignalLevel(const std::string& detail, int& level) {
    size_t end = detail.size();
    while (end > 0 && !std::isdigit(static_cast<unsigned char>(detail[end - 1])))
        end--;
    size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(detail[start - 1])) && end - start < 6)
        start--;
    if (start == end)
        return false;
    level = std::stoi(detail.substr(start, end - start));
    if (start > 0 && detail[start - 1] == '-')
        level = -level;
    return true;
}

} // namespace

int TfmMain::ImageIndex(const QListWidgetItem* item) {
    return item->data(ImageIndexRole).toInt();
}

void TfmMain::SetImageIndex(QListWidgetItem* item, int imageIndex) {
    const bool registered = imageIndex == imgRegistered;
    item->setData(ImageIndexRole, imageIndex);
    // The ID is greyed in both styles, in the colour of disabled text, and stays readable;
    // the icon style adds the greyed symbol.
    if (registered)
        item->setForeground(lvDevices->palette().brush(QPalette::Disabled, QPalette::Text));
    else
        item->setData(Qt::ForegroundRole, QVariant());
    if (lvDevices->viewMode() == QListView::IconMode)
        item->setIcon(imgsDevice[registered ? imgRegistered : imgFree]);
    else
        item->setIcon(QIcon());
    // A screen reader hears the mark after what the tooltip says of the slave.
    QString about = item->toolTip();
    if (registered)
        about += about.isEmpty() ? QStringLiteral("registered") : QStringLiteral(", registered");
    item->setData(Qt::AccessibleDescriptionRole, about);
}

void TfmMain::SetLargeIcons(bool largeIcons) {
    lvDevices->setViewMode(largeIcons ? QListView::IconMode : QListView::ListMode);
    // The view mode brings its own arrangement; these keep the items in place and make a
    // drag copy an ID, never move the item.
    lvDevices->setMovement(QListView::Static);
    lvDevices->setFlow(largeIcons ? QListView::LeftToRight : QListView::TopToBottom);
    lvDevices->setWrapping(true);
    lvDevices->setResizeMode(QListView::Adjust);
    lvDevices->setGridSize(largeIcons ? QSize(100, 40) : QSize());
    lvDevices->setDragEnabled(true);
    lvDevices->setDragDropMode(QAbstractItemView::DragOnly);
    lvDevices->setDefaultDropAction(Qt::CopyAction);
    for (int row = 0; row < lvDevices->count(); row++)
        SetImageIndex(lvDevices->item(row), ImageIndex(lvDevices->item(row)));
}

void TfmMain::SetupGrid() {
    sgGrid->SetSize(GridCols, GridRows);
    sgGrid->setColumnWidth(IdColumn, 300);
    sgGrid->SetCells(0, 0, "Switch");
    sgGrid->SetCells(IdColumn, 0, "Device ID");
    for (int row = FirstPosition; row <= LastPosition; row++)
        sgGrid->SetCells(0, row, PositionLabel(row));
    sgGrid->setCurrentCell(FirstPosition, IdColumn);
}

QListWidgetItem* TfmMain::AddDeviceItem(int imageIndex, const std::string& id) {
    auto* item = new QListWidgetItem(ToQString(id));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    lvDevices->addItem(item);
    SetImageIndex(item, imageIndex);
    return item;
}

QListWidgetItem* TfmMain::SelectedDeviceItem() const {
    for (int row = 0; row < lvDevices->count(); row++) {
        if (lvDevices->item(row)->isSelected())
            return lvDevices->item(row);
    }
    return nullptr;
}

QListWidgetItem* TfmMain::FindDeviceItem(const std::string& text) const {
    // A free position names no slave, whatever the list holds.
    if (IsFreeId(text))
        return nullptr;
    QListWidgetItem* match = nullptr;
    for (int row = 0; row < lvDevices->count(); row++) {
        if (SameId(ToStdString(lvDevices->item(row)->text()), text))
            match = lvDevices->item(row);
    }
    return match;
}

std::vector<std::string> TfmMain::GridTable() const {
    std::vector<std::string> table;
    for (int row = FirstPosition; row <= LastPosition; row++)
        table.push_back(sgGrid->Cells(IdColumn, row));
    return table;
}

bool TfmMain::CanRegisterAt(int col, int row, const QListWidgetItem* item) const {
    if (col != IdColumn || row < FirstPosition || row > LastPosition)
        return false;
    if (!item || ImageIndex(item) == imgRegistered)
        return false;
    // While a position is unread the slave may stand there already.
    if (!UnreadPositions().empty() || !IsFreeId(sgGrid->Cells(col, row)))
        return false;
    // One slave, one position; and only an ID the master can hold.
    return CheckRegistration(GridTable(), row, ToStdString(item->text())) == rvAccepted;
}

bool TfmMain::RegisterAt(int col, int row, QListWidgetItem* item) {
    if (!CanRegisterAt(col, row, item))
        return false;
    sgGrid->SetCells(col, row, RegisteredForm(ToStdString(item->text())));
    SetImageIndex(item, imgRegistered);
    return true;
}

void TfmMain::ShowProgressWindow(const QString& text) {
    fmMsg->Memo1->setPlainText(text);
    // Centred on the main window, or on the screen while the main window is not shown.
    QRect around;
    if (isVisible())
        around = frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        around = screen->availableGeometry();
    if (around.isValid())
        fmMsg->move(around.center() - fmMsg->rect().center());
    fmMsg->show();
}

void TfmMain::SearchSlaves() {
    ModuleOperation operation(*this);
    ShowProgressWindow(SearchExplanation);
    bool completed = false;
    std::vector<SLAVE> slaves = btDevice->SearchDevices(completed);
    if (!completed) {
        fmMsg->hide();
        platform::CurrentUi().ShowMessageBox("Device searching was not completed.", "error",
                                             platform::BoxIcon::Error);
        return;
    }
    lvDevices->clear();
    const std::vector<SLAVE> listed = ListedSlaves(slaves);
    // The unit in the technician's hand is the one heard loudest.
    int strongest = -1;
    int strongestLevel = 0;
    for (size_t i = 0; i < listed.size(); i++) {
        int level = 0;
        if (SignalLevel(listed[i].detail, level) && (strongest < 0 || level > strongestLevel)) {
            strongest = static_cast<int>(i);
            strongestLevel = level;
        }
    }
    for (size_t i = 0; i < listed.size(); i++) {
        QListWidgetItem* item = AddDeviceItem(imgFree, listed[i].id);
        const bool loudest = static_cast<int>(i) == strongest && listed.size() > 1;
        QString about = ToQString(listed[i].name);
        if (!listed[i].detail.empty())
            about += QStringLiteral(", ") + ToQString(listed[i].detail);
        if (loudest) {
            about += QStringLiteral(" (strongest signal)");
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        }
        // The text the registration rules match on stays the ID.
        item->setToolTip(about);
        item->setData(Qt::AccessibleDescriptionRole, about);
    }
    fmMsg->hide();
}

void TfmMain::ShowRegisteredIds() {
    ModuleOperation operation(*this);
    for (;;) {
        // A row already shown from an earlier read keeps what the technician made of it;
        // only rows not shown yet, or not read, take what the master answers now.
        std::vector<bool> kept(LastPosition + 1, false);
        for (int row = FirstPosition; row <= LastPosition; row++)
            kept[row] = idsShown && !IsUnread(row);
        btDevice->ReadRegisteredIds();
        for (int row = FirstPosition; row <= LastPosition; row++) {
            if (kept[row])
                continue;
            // What the master holds at an unread row is unknown: shown so, kept out of
            // every rule and out of the write.
            const bool unread = IsUnread(row);
            const std::string id = unread ? UnreadText : btDevice->GetRegisteredId(row - 1);
            sgGrid->SetCells(IdColumn, row, id);
            sgGrid->SetCellGreyed(IdColumn, row, unread);
            if (QListWidgetItem* item = unread ? nullptr : FindDeviceItem(id))
                SetImageIndex(item, imgRegistered);
        }
        idsShown = true;
        const std::vector<int> unread = UnreadPositions();
        if (unread.empty() ||
            !AskReadAgain("The IDs at positions " + PositionLabels(unread) +
                          " could not be read from the master unit.\nThey are shown as \"" +
                          UnreadText +
                          "\", cannot be changed, and are kept as the master unit stores "
                          "them. Until they are read, no slave can be registered: it may be "
                          "registered there already."))
            return;
    }
}

std::vector<int> TfmMain::UnreadPositions() const {
    std::vector<int> unread;
    for (int row = FirstPosition; row <= LastPosition; row++) {
        if (IsUnread(row))
            unread.push_back(row);
    }
    return unread;
}

bool TfmMain::AskReadAgain(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("error"), ToQString(text),
                    QMessageBox::NoButton, this);
    QPushButton* again = box.addButton(QStringLiteral("Read again"), QMessageBox::AcceptRole);
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.setAccessibleDescription(QStringLiteral("Warning"));
    box.exec();
    return box.clickedButton() == again;
}

void TfmMain::RefuseWhileUnread() {
    // Only a registration refused for that reason is explained; the read is offered again
    // when no other module operation runs.
    if (UnreadPositions().empty() || moduleOperations > 0 || closeStarted)
        return;
    if (AskReadAgain("No slave can be registered while the IDs at positions " +
                     PositionLabels(UnreadPositions()) +
                     " are not read: the slave may be registered there already."))
        ShowRegisteredIds();
}

bool TfmMain::IsUnread(int row) const {
    return row >= FirstPosition && row <= LastPosition && btDevice &&
           btDevice->readIncomplete[row - 1];
}

void TfmMain::MarkRegisteredDevices() {
    for (int row = FirstPosition; row <= LastPosition; row++) {
        if (QListWidgetItem* item = FindDeviceItem(sgGrid->Cells(IdColumn, row)))
            SetImageIndex(item, imgRegistered);
    }
}

void TfmMain::StoreRegisteredIds() {
    // An unread row keeps the master's own entry: its text is no ID to write.
    for (int row = FirstPosition; row <= LastPosition; row++) {
        if (!IsUnread(row))
            btDevice->SetRegisteredId(row - 1, sgGrid->Cells(IdColumn, row));
    }
}

void TfmMain::sgGridDragOver(QObject*, QObject*, int X, int Y, TDragState, bool& Accept) {
    int col = -1;
    int row = -1;
    sgGrid->MouseToCell(X, Y, col, row);
    Accept = CanRegisterAt(col, row, SelectedDeviceItem());
}

void TfmMain::sgGridDragDrop(QObject*, QObject*, int X, int Y) {
    int col = -1;
    int row = -1;
    sgGrid->MouseToCell(X, Y, col, row);
    RegisterAt(col, row, SelectedDeviceItem());
}

bool TfmMain::sgGridKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!RegisterAt(sgGrid->currentColumn(), sgGrid->currentRow(), SelectedDeviceItem()) &&
            SelectedDeviceItem())
            RefuseWhileUnread();
        return true;
    }
    if (key == Qt::Key_Delete) {
        // Exactly what the button does, and only while it may be used.
        if (btnRelease->isEnabled())
            btnReleaseClick(btnRelease);
        return true;
    }
    return false;
}

void TfmMain::lvDevicesDblClick(QListWidgetItem* item) {
    for (int row = FirstPosition; row <= LastPosition; row++) {
        if (IsFreeId(sgGrid->Cells(IdColumn, row))) {
            if (!RegisterAt(IdColumn, row, item))
                RefuseWhileUnread();
            return;
        }
    }
}

void TfmMain::btnReleaseClick(QObject*) {
    int top = sgGrid->currentRow();
    int bottom = top;
    const QList<QTableWidgetSelectionRange> ranges = sgGrid->selectedRanges();
    if (!ranges.isEmpty()) {
        top = ranges.first().topRow();
        bottom = ranges.first().bottomRow();
        for (const QTableWidgetSelectionRange& range : ranges) {
            top = std::min(top, range.topRow());
            bottom = std::max(bottom, range.bottomRow());
        }
    }
    // The title row is never released, whatever the selection reaches.
    top = std::max(top, FirstPosition);
    bottom = std::min(bottom, LastPosition);
    std::vector<std::string> released;
    for (int row = top; row <= bottom; row++) {
        // What an unread row holds is the master's, unseen: it is never released.
        if (IsUnread(row))
            continue;
        released.push_back(sgGrid->Cells(IdColumn, row));
        sgGrid->SetCells(IdColumn, row, EmptyId);
    }
    FreeUnheldDevices(released);
}

void TfmMain::FreeUnheldDevices(const std::vector<std::string>& ids) {
    // A slave is free again only when no row still holds it.
    const std::vector<std::string> table = GridTable();
    for (const std::string& id : ids) {
        QListWidgetItem* item = FindDeviceItem(id);
        const bool held = std::any_of(table.begin(), table.end(),
                                      [&id](const std::string& kept) { return SameId(kept, id); });
        if (item && !held)
            SetImageIndex(item, imgFree);
    }
}

void TfmMain::btnSrchAgainClick(QObject*) {
    // One module operation at a time: none starts while another runs or once the window
    // is closing.
    if (moduleOperations > 0 || closeStarted)
        return;
    ModuleOperation operation(*this);
    if (!debugMode) {
        SetEnabled({btnSrchAgain, btnRelease, lvDevices, sgGrid}, false);
        SearchSlaves();
        MarkRegisteredDevices();
        SetEnabled({btnSrchAgain, btnRelease, lvDevices, sgGrid}, true);
        return;
    }
    SetEnabled({btnSrchAgain, btnRelease}, false);
    // A close asked for meanwhile ends the repetition after the turn under way.
    while (cboxRepeat->isChecked() && !closePending) {
        platform::CurrentUi().ProcessMessages();
        if (closePending)
            break;
        SearchSlaves();
        MarkRegisteredDevices();
    }
    SetEnabled({btnSrchAgain, btnRelease}, true);
}
