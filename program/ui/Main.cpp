#include "Main.h"

#include "Forms.h"
#include "Images.h"
#include "Msgdlg.h"
#include "QtUi.h"

#include "platform/NamedMutex.h"
#include "platform/Ui.h"
#include "program/btdevice/Btdevice.h"
#include "program/btdevice/Journal.h"
#include "program/btdevice/Rules.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {

const char* const Caption = "Bluetooth Configurator for KESTRAVION ";

// The window layer's side of platform::Ui. It outlives every window, so the link's worker
// may still wake it while a window goes away.
QtUi qtUi;

} // namespace

TfmMain::ModuleOperation::ModuleOperation(TfmMain& form) : form_(form) {
    form_.moduleOperations++;
}

TfmMain::ModuleOperation::~ModuleOperation() {
    form_.moduleOperations--;
    if (form_.moduleOperations == 0 && form_.closePending) {
        // Runs once the handler that ran the operation has returned.
        TfmMain* form = &form_;
        QMetaObject::invokeMethod(
            form, [form] { form->RunClosePath(); }, Qt::QueuedConnection);
    }
}

TfmMain::TfmMain(QWidget* parent) : QWidget(parent) {
    BuildControls();
    // The configuration's own messages have no owner window; the window's messages do.
    qtUi.SetOwner(nullptr);
    platform::InstallUi(&qtUi);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

TfmMain::~TfmMain() {
    qtUi.SetOwner(nullptr);
}

void TfmMain::BuildControls() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(FormFont());
    setFixedSize(549, 343);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    imgsDevice[imgRegistered] = DeviceIcon(false);
    imgsDevice[imgFree] = DeviceIcon(true);

    // The picture lies beneath the list and the grid, which it touches.
    Image1 = new TPicture(DrawDragDropArrow, this);
    Image1->setGeometry(224, 152, 89, 49);

    lvDevices = new QListWidget(this);
    lvDevices->setGeometry(8, 8, 217, 318);
    lvDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    lvDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvDevices->setIconSize(QSize(16, 16));
    SetLargeIcons(false);

    sgGrid = new TStringGrid(this);
    sgGrid->setGeometry(311, 8, 221, 318);
    sgGrid->OnDragOver = [this](QObject* source, int x, int y, TDragState state, bool& accept) {
        sgGridDragOver(sgGrid, source, x, y, state, accept);
    };
    sgGrid->OnDragDrop = [this](QObject* source, int x, int y) {
        sgGridDragDrop(sgGrid, source, x, y);
    };
    // The keyboard's way to the same actions: Tab leaves the grid instead of moving between
    // its cells.
    sgGrid->OnKeyDown = [this](int key) { return sgGridKeyDown(key); };
    sgGrid->setTabKeyNavigation(false);
    connect(lvDevices, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { lvDevicesDblClick(item); });

    btnSrchAgain = new QPushButton(QStringLiteral("Search again"), this);
    btnSrchAgain->setGeometry(231, 16, 74, 33);
    btnSrchAgain->setToolTip(QStringLiteral("Search the slave device again."));
    connect(btnSrchAgain, &QPushButton::clicked, this, [this] { btnSrchAgainClick(btnSrchAgain); });

    cboxRepeat = new QCheckBox(QStringLiteral("Repeat"), this);
    cboxRepeat->setGeometry(232, 56, 73, 17);

    btnRelease = new QPushButton(QStringLiteral("Release"), this);
    btnRelease->setGeometry(231, 220, 74, 33);
    btnRelease->setToolTip(QStringLiteral("Release registered ID from right pane."));
    connect(btnRelease, &QPushButton::clicked, this, [this] { btnReleaseClick(btnRelease); });

    lblVersion = new QLabel(this);
    lblVersion->setGeometry(246, 313, 45, 13);
    lblVersion->hide();

    lvDevices->setToolTip(QStringLiteral(
        "Slaves found. Drag one onto a free row, or double-click it to register it at the "
        "first free row."));
    sgGrid->setToolTip(QStringLiteral("Registered IDs. Return: register the slave selected on "
                                      "the left at this row. Delete: release the selected rows."));
    lvDevices->setAccessibleName(QStringLiteral("Found slaves"));
    lvDevices->setAccessibleDescription(
        QStringLiteral("Slaves found by the last search; a greyed one is registered already."));
    sgGrid->setAccessibleName(QStringLiteral("Registered IDs"));
    sgGrid->setAccessibleDescription(QStringLiteral(
        "One row per switch position, 01 to 0E. Return registers the slave selected in the list "
        "at the current row; Delete releases the selected rows."));
    btnSrchAgain->setAccessibleName(QStringLiteral("Search again"));
    btnSrchAgain->setAccessibleDescription(btnSrchAgain->toolTip());
    btnRelease->setAccessibleName(QStringLiteral("Release"));
    btnRelease->setAccessibleDescription(btnRelease->toolTip());
    cboxRepeat->setAccessibleName(QStringLiteral("Repeat"));
    cboxRepeat->setAccessibleDescription(QStringLiteral("Repeat the search while ticked."));

    setTabOrder(lvDevices, sgGrid);
    setTabOrder(sgGrid, btnSrchAgain);
    setTabOrder(btnSrchAgain, btnRelease);
    setTabOrder(btnRelease, cboxRepeat);

    fmMsg = new TfmMsg(this);
}

void TfmMain::FormCreate() {
    // A close that arrives during start-up waits until the window holds the master's table.
    ModuleOperation operation(*this);

    lblVersion->setText(QStringLiteral("Ver 1.03"));

    // The one configuration object of the run; a window built again (as tests do) takes
    // the place of the earlier one.
    delete Inits;
    Inits = new CInits;
    if (Inits->Open("config.ini")) {
        Inits->Load();
        Inits->Close();
    }
    qtUi.SetOwner(this);

    Item entry;
    debugMode = false;
    cboxRepeat->hide();
    if (Inits->Lookup("debug", entry) >= 0 && (entry.value == "on" || entry.value == "ON")) {
        debugMode = true;
        cboxRepeat->show();
        cboxRepeat->setChecked(true);
    }

    if (!CheckSingleInstance()) {
        if (lockRefusal.empty())
            platform::CurrentUi().ShowMessageBox(AlreadyRunningText, "error",
                                                 platform::BoxIcon::Warning);
        else
            platform::CurrentUi().ShowMessageBox(lockRefusal, "error", platform::BoxIcon::Error);
        PostQuit();
        return;
    }

    setWindowTitle(QString::fromLatin1(Caption));
    btDevice = std::make_unique<CBtDevice>();
    journal = std::make_unique<CJournal>();
    btDevice->journal = journal.get();
    btDevice->frontEnd = "tarvelo";
    while (!btDevice->Open()) {
        std::string text = NotPreparedText;
        for (const std::string& note :
             {btDevice->MissingBridgeNote(), btDevice->OpenedBridgeNote()})
            text += note.empty() ? "" : "\n" + note;
        if (!AskOpenAgain(text)) {
            PostQuit();
            return;
        }
    }

    // With more than one bridge attached the technician must know which one is talking.
    if (const std::string note = btDevice->OpenedBridgeNote(); !note.empty())
        platform::CurrentUi().ShowMessageBox(note, "error", platform::BoxIcon::Warning);
    SetupGrid();
    if (Inits->Lookup("listview", entry) >= 0)
        SetLargeIcons(entry.value == "Icon");
    SearchSlaves();
    ShowRegisteredIds();
    OfferUnsavedChanges();
    setWindowTitle(QString::fromLatin1(Caption) + lblVersion->text());
}

bool TfmMain::CheckSingleInstance() {
    // One step, so that of two copies started at the same moment exactly one runs; held
    // until the process ends.
    lockRefusal.clear();
    return platform::TakeNamedMutex(SingleInstanceMutex, lockRefusal) ==
           platform::InstanceLock::Taken;
}

void TfmMain::WMSysCommand(uint32_t command) {
    // Every other command (minimise, move, restore) takes its normal course.
    if (command == SC_CLOSE)
        RunClosePath();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    // The toolkit's own close never runs: the close path ends the program itself.
    event->ignore();
    WMSysCommand(SC_CLOSE);
}

void TfmMain::RunClosePath() {
    if (closeStarted)
        return;
    if (moduleOperations > 0) {
        closePending = true;
        return;
    }
    closePending = false;
    closeStarted = true;
    // An edit made now would never reach the master.
    SetEnabled({lvDevices, sgGrid, btnSrchAgain, btnRelease}, false);
    // Before the master's table is in the grid there is nothing to write back; writing the
    // empty grid would wipe the table.
    if (idsShown)
        WriteRegisteredIds();
    // The write went on all the same.
    if (const std::string warning = journal ? journal->Warning() : ""; !warning.empty())
        platform::CurrentUi().ShowMessageBox(warning, "error", platform::BoxIcon::Warning);
    // Whatever the write's verdict, the bridge goes back to the kernel's serial driver.
    if (btDevice)
        btDevice->Close();
    PostQuit();
}

template <typename Operation> bool TfmMain::WithProgress(Operation operation) {
    ShowProgressWindow(WriteExplanation);
    // Without a worker thread no message is handled until the operation ends: draw it now.
    fmMsg->repaint();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool done = operation();
    QGuiApplication::restoreOverrideCursor();
    fmMsg->hide();
    return done;
}

bool TfmMain::WriteRegisteredIds() {
    ModuleOperation operation(*this);
    StoreRegisteredIds();
    // Nothing changed: the master keeps its own table, and nothing is sent.
    if (btDevice->ChangedPositions().empty())
        return true;
    while (!WithProgress([this] { return btDevice->WriteRegisteredIds(); })) {
        if (!AskWriteAgain())
            return false;
        // A cable pulled out and plugged in again leaves the old handle dead; a master that
        // was only silent is prepared again all the same. Should this fail, the write does
        // too, and the technician is asked again.
        WithProgress([this] { return btDevice->Reconnect(); });
    }
    return true;
}

namespace {

// "ID of position 03" or "IDs of positions 03, 05".
QString IdsOf(const std::vector<int>& positions) {
    return (positions.size() == 1 ? QStringLiteral("ID of position ")
                                  : QStringLiteral("IDs of positions ")) +
           ToQString(PositionLabels(positions));
}

} // namespace

bool TfmMain::AskWriteAgain() {
    // Only what the stored table, read back, showed is said.
    QString text;
    const std::vector<int> saved = btDevice->PositionsWith(CBtDevice::woSaved);
    const std::vector<int> notSaved = btDevice->PositionsWith(CBtDevice::woNotSaved);
    const std::vector<int> notTaken = btDevice->NotTakenPositions();
    if (btDevice->writeVerdict == CBtDevice::wvInDoubt) {
        text = QStringLiteral("The ID table could not be read back from the master unit: the %1 "
                              "may or may not be saved.")
                   .arg(IdsOf(btDevice->PositionsWith(CBtDevice::woInDoubt)));
        if (!saved.empty())
            text += QStringLiteral(" The %1 saved.")
                        .arg(IdsOf(saved) + (saved.size() == 1 ? QStringLiteral(" is")
                                                               : QStringLiteral(" are")));
    } else if (btDevice->writeVerdict == CBtDevice::wvPartlySaved) {
        text = QStringLiteral("The ID table was only partly saved to the master unit: the %1 "
                              "saved, the %2 NOT saved.")
                   .arg(IdsOf(saved) +
                            (saved.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")),
                        IdsOf(notSaved) + (notSaved.size() == 1 ? QStringLiteral(" was")
                                                                 : QStringLiteral(" were")));
    } else if (!notTaken.empty()) {
        text = QStringLiteral("The ID table was NOT saved to the master unit: it did not take "
                              "the %1. The master unit keeps its earlier table.")
                   .arg(IdsOf(notTaken));
    } else {
        text = QStringLiteral("The ID table was NOT saved to the master unit.");
    }
    text += QStringLiteral("\nPlease check the USB cable and the power of the master unit.");
    QMessageBox box(QMessageBox::Critical, QStringLiteral("error"), text, QMessageBox::NoButton,
                    this);
    QPushButton* again = box.addButton(QStringLiteral("Try again"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Close without saving"), QMessageBox::DestructiveRole);
    // Neither Return nor Escape gives the table up.
    box.setDefaultButton(again);
    box.setEscapeButton(again);
    box.setAccessibleDescription(QStringLiteral("Error"));
    box.exec();
    return box.clickedButton() == again;
}

bool TfmMain::AskOpenAgain(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("error"), ToQString(text),
                    QMessageBox::NoButton, this);
    QPushButton* again = box.addButton(QStringLiteral("&Try again"), QMessageBox::AcceptRole);
    QPushButton* close = box.addButton(QStringLiteral("Close"), QMessageBox::RejectRole);
    // Return and Escape end the program, as the box's one OK button did.
    box.setDefaultButton(close);
    box.setEscapeButton(close);
    box.setAccessibleDescription(QStringLiteral("Error"));
    // A bridge plugged in while the box is up is tried at once: the driver's list is looked
    // at about once a second, which costs a listing and no exchange.
    std::vector<BRIDGE> listed;
    ListBridges(listed);
    QTimer look;
    look.setInterval(static_cast<int>(BridgePollMs));
    connect(&look, &QTimer::timeout, &box, [&listed, again] {
        std::vector<BRIDGE> current;
        ListBridges(current);
        const bool appeared = BridgeAppeared(listed, current);
        listed = current;
        if (appeared)
            again->click();
    });
    look.start();
    box.exec();
    return box.clickedButton() == again;
}

void TfmMain::PostQuit() {
    quitPosted = true;
    // Queued, so a quit posted before the message loop runs ends it as soon as it starts.
    // exit() rather than quit(): quit() would first ask the windows to close.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}
