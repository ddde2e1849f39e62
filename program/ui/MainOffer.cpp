// The main window's offer, at start-up, of the changes of a write to this master that was
// not saved: put back into the grid under its rules, or discarded.
#include "Main.h"

#include "Forms.h"

#include "platform/Ui.h"
#include "program/btdevice/Btdevice.h"
#include "program/btdevice/Journal.h"
#include "program/btdevice/Rules.h"

#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>


namespace {

constexpr int IdColumn = 1;

// "03 000000000000 -> 00A0C9445566": a position's change, from what it holds to `id`.
std::string ChangeLine(int position, const std::string& from, const std::string& id) {
    return PositionLabel(position) + " " + from + " -> " + id;
}

} // namespace

const JournalSession* TfmMain::UnsavedSession(const JournalContents& contents) const {
    // Without the bridge's serial number the journal cannot tell this master from another.
    const std::string bridge = btDevice->OpenedBridgeSerial();
    const JournalSession* session = bridge.empty() ? nullptr : LastSession(contents, bridge);
    if (!session || (session->verdict != jvNotSaved && session->verdict != jvInDoubt))
        return nullptr;
    const std::vector<int> changed = ChangedPositions(*session);
    if (changed.empty())
        return nullptr;
    // Every change is put back over what the master is now known to hold there.
    for (const int position : changed) {
        if (IsUnread(position))
            return nullptr;
    }
    // The master still holds the table the session started from, wherever both are known.
    const std::vector<std::string> table = GridTable();
    for (int position = 1; position <= PositionCount; position++) {
        const size_t index = static_cast<size_t>(position - 1);
        const bool known = index < session->before.ids.size() &&
                           index < session->before.unknown.size() &&
                           !session->before.unknown[index];
        if (!IsUnread(position) && known && !SameId(table[index], session->before.ids[index]))
            return nullptr;
    }
    return session;
}

void TfmMain::OfferUnsavedChanges() {
    // A journal that cannot be read offers nothing; its broken lines are only skipped.
    JournalContents contents;
    std::string why;
    if (!journal || journal->Path().empty() || !ReadJournal(journal->Path(), contents, why))
        return;
    const JournalSession* session = UnsavedSession(contents);
    if (!session)
        return;

    const std::vector<int> changed = ChangedPositions(*session);
    const std::vector<std::string> table = GridTable();
    std::string lines;
    for (const int position : changed) {
        lines += "\n" + ChangeLine(position, table[static_cast<size_t>(position - 1)],
                                   session->intended.ids[static_cast<size_t>(position - 1)]);
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("error"),
                    ToQString("The write of the ID table begun at " + session->time +
                              " (UTC) ended \"" + VerdictText(session->verdict) +
                              "\", and the master unit still holds the table from before it. Put "
                              "its changes back into the grid? They are written to the master "
                              "unit when the window is closed." +
                              lines),
                    QMessageBox::NoButton, this);
    QPushButton* putBack = box.addButton(QStringLiteral("Put back"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::RejectRole);
    box.setDefaultButton(putBack);
    box.setEscapeButton(discard);
    box.exec();
    if (box.clickedButton() != putBack)
        return;

    // Releases first, so that a slave the session moved is free again for its new position.
    std::vector<int> order;
    for (const bool releases : {true, false}) {
        for (const int position : changed) {
            if (IsFreeId(session->intended.ids[static_cast<size_t>(position - 1)]) == releases)
                order.push_back(position);
        }
    }
    std::vector<std::string> replaced;
    std::string refused;
    for (const int position : order) {
        const std::string& id = session->intended.ids[static_cast<size_t>(position - 1)];
        const std::string current = sgGrid->Cells(IdColumn, position);
        // A registration obeys the grid's rules: one slave, one position, and none while a
        // position is unread (the slave may stand there already).
        if (!IsFreeId(id) && (!UnreadPositions().empty() ||
                              CheckRegistration(GridTable(), position, id) != rvAccepted)) {
            refused += "\n" + ChangeLine(position, current, id);
            continue;
        }
        replaced.push_back(current);
        sgGrid->SetCells(IdColumn, position, IsFreeId(id) ? EmptyId : RegisteredForm(id));
    }

    // The registration marks follow the grid: a slave no row holds any more is free again.
    MarkRegisteredDevices();
    FreeUnheldDevices(replaced);
    if (!refused.empty()) {
        const std::vector<int> unread = UnreadPositions();
        platform::CurrentUi().ShowMessageBox(
            (unread.empty() ? std::string("Each slave is registered at another position")
                            : "No slave can be registered while the IDs at positions " +
                                  PositionLabels(unread) + " are not read") +
                "; these changes were not put back:" + refused,
            "error", platform::BoxIcon::Warning);
    }
}
