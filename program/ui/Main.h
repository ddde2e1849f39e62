// The main window: the start-up of the tool, the found-device list on the left, the
// registration grid on the right, and the write of the ID table when the window closes.
#pragma once

#include "StringGrid.h"

#include "program/btdevice/Btdevice.h"

#include <QIcon>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CBtDevice;
class CJournal;
struct JournalContents;
struct JournalSession;
class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TfmMsg;
class TPicture;

// The system commands the window tells apart.
constexpr uint32_t SC_CLOSE = 0xF060;

// The registration marks of the found-device list: the indexes of the two images.
constexpr int imgRegistered = 0;
constexpr int imgFree = 1;

class TfmMain : public QWidget {
public:
    // Builds the window and runs FormCreate; the window is not shown.
    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    // Start-up, window caption and closing.
    void FormCreate();
    // True when this copy took the family's mutex. False when another program of the family
    // holds it, or when the lock was refused: then lockRefusal says why.
    bool CheckSingleInstance();
    void WMSysCommand(uint32_t command);

    // The found-device list and the registration grid.
    void SetupGrid();
    QListWidgetItem* AddDeviceItem(int imageIndex, const std::string& id);
    QListWidgetItem* SelectedDeviceItem() const;
    QListWidgetItem* FindDeviceItem(const std::string& text) const;
    void SearchSlaves();
    // Reads the table into the grid; while positions stay unread, offers to read again.
    void ShowRegisteredIds();
    void MarkRegisteredDevices();
    // Marks free the slaves of `ids` that no grid row holds any more.
    void FreeUnheldDevices(const std::vector<std::string>& ids);
    // After the start-up read: when the last journalled write to this master was not saved
    // (or is in doubt) and the master still holds the table from before it, offers once to
    // put its changes back into the grid ("Put back", or "Discard" to leave the grid as
    // read). Put back, a release always returns; a registration only under the grid's rules
    // (one slave, one position; none while a position is unread), and one notice names the
    // changes that could not be put back. Nothing is sent to the master: the close writes
    // the rows as they then differ from the read. A journal that cannot be read offers
    // nothing.
    void OfferUnsavedChanges();
    // The session OfferUnsavedChanges offers from `contents`: the newest on the opened
    // bridge, when it ended not saved or in doubt, every position it changed is read now,
    // and every position read now holds its entry from before the session wherever that is
    // known. nullptr when there is none.
    const JournalSession* UnsavedSession(const JournalContents& contents) const;
    // Copies grid rows 1 to 14 into the module controller's entries.
    void StoreRegisteredIds();
    // Writes the table to the master when the window closes. On a failure the technician
    // chooses between a whole new write and closing without saving; false for the latter.
    bool WriteRegisteredIds();
    // The grid's positions 1 to 14 as a table, entry p - 1 for position p.
    std::vector<std::string> GridTable() const;
    // The one rule for registering `item` at a cell, whether by drop, by Return or by a
    // double-click: the ID column of rows 1 to 14, a free cell, a free item, a well-formed
    // ID that no other row holds, and no position left unread.
    bool CanRegisterAt(int col, int row, const QListWidgetItem* item) const;
    // Registers `item` at the cell when the rule allows; false, nothing changed, when not.
    bool RegisterAt(int col, int row, QListWidgetItem* item);
    void sgGridDragOver(QObject* Sender, QObject* Source, int X, int Y, TDragState State,
                        bool& Accept);
    void sgGridDragDrop(QObject* Sender, QObject* Source, int X, int Y);
    // Return or Enter registers the selected slave at the current row; Delete releases the
    // selected rows as the Release button does. True for a key it handled.
    bool sgGridKeyDown(int key);
    // True for a position (grid row) whose ID could not be read from the master: it shows
    // as unread, is never a target and never released, and is left out of the write.
    bool IsUnread(int row) const;
    // The positions (grid rows) whose ID could not be read. While there is one, no slave is
    // registered anywhere: it may stand at that position already. Releases stay possible.
    std::vector<int> UnreadPositions() const;
    // A warning about unread positions with "Read again" and OK (Return and Escape); true
    // for "Read again".
    bool AskReadAgain(const std::string& text);
    // After a registration refused because a position is unread: says so and offers to
    // read the table again.
    void RefuseWhileUnread();
    // Registers the item at the first free position, if any.
    void lvDevicesDblClick(QListWidgetItem* item);
    void btnReleaseClick(QObject* Sender);
    void btnSrchAgainClick(QObject* Sender);

    // An item's registration mark (imgRegistered or imgFree), and setting it. A registered
    // item's ID is greyed in both styles (the large-icon style also greys its symbol), its
    // accessible description adds "registered" to its tooltip, and a drag of it is refused.
    static int ImageIndex(const QListWidgetItem* item);
    void SetImageIndex(QListWidgetItem* item, int imageIndex);
    // The list style: large icons (true) or a list (false).
    void SetLargeIcons(bool largeIcons);

    QListWidget* lvDevices;
    TPicture* Image1;
    TStringGrid* sgGrid;
    QPushButton* btnSrchAgain;
    QCheckBox* cboxRepeat;
    QPushButton* btnRelease;
    QLabel* lblVersion;
    QIcon imgsDevice[2];
    TfmMsg* fmMsg;

    std::unique_ptr<CBtDevice> btDevice;
    // The user's journal of table writes, which the module controller keeps.
    std::unique_ptr<CJournal> journal;
    bool debugMode = false;
    std::string lockRefusal;

    // Module operations (the search, the ID read, the write) running at the moment,
    // counted around every use of btDevice. A close that arrives while one runs waits for
    // it; no operation starts while one runs or once the close has begun.
    int moduleOperations = 0;
    bool closePending = false;
    bool closeStarted = false;
    // The grid holds the master's table: only then does closing write it back.
    bool idsShown = false;
    // A quit request has been posted; the message loop ends as soon as it runs.
    bool quitPosted = false;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Counts one module operation for as long as it lives; when the last one ends, a close
    // that waited for it runs.
    class ModuleOperation {
    public:
        explicit ModuleOperation(TfmMain& form);
        ~ModuleOperation();
        ModuleOperation(const ModuleOperation&) = delete;
        ModuleOperation& operator=(const ModuleOperation&) = delete;

    private:
        TfmMain& form_;
    };

    void BuildControls();
    void RunClosePath();
    void PostQuit();
    void ShowProgressWindow(const QString& text);
    // Runs a module operation of the close behind the progress window and the wait cursor.
    template <typename Operation> bool WithProgress(Operation operation);
    // Asks, after a failed write, whether to write again; false: close without saving.
    bool AskWriteAgain();
    // The not-prepared box with `text`: true for "Try again", chosen by the technician or by
    // itself when a bridge is plugged in while it is up; false for "Close".
    bool AskOpenAgain(const std::string& text);
};
