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

class CBtDevice;
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
    bool CheckSingleInstance();
    void WMSysCommand(uint32_t command);

    // The found-device list and the registration grid.
    void SetupGrid();
    QListWidgetItem* AddDeviceItem(int imageIndex, const std::string& id);
    QListWidgetItem* SelectedDeviceItem() const;
    QListWidgetItem* FindDeviceItem(const std::string& text) const;
    void SearchSlaves();
    void ShowRegisteredIds();
    void MarkRegisteredDevices();
    void StoreRegisteredIds();
    void sgGridDragOver(QObject* Sender, QObject* Source, int X, int Y, TDragState State,
                        bool& Accept);
    void sgGridDragDrop(QObject* Sender, QObject* Source, int X, int Y);
    void btnReleaseClick(QObject* Sender);
    void btnSrchAgainClick(QObject* Sender);

    // An item's registration mark (imgRegistered or imgFree), and setting it. Only the
    // large-icon style shows it; in both styles it governs dragging.
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
    bool debugMode = false;

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
    void ShowProgressWindow();
};
