#include "UiFixture.h"

#include "UiSystem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>

const char* const DemoScenario = R"({
  "slaves": [
    {"id": "00A0C8111111", "name": "ZOMRA-1", "detail": "A"},
    {"id": "00A0C8222222", "name": "ZOMRA-2"},
    {"id": "00A0C8333333", "name": "Headset"},
    {"id": "00A0C8444444", "name": "zomra-4"},
    {"id": "00A0C8555555", "name": "ZOM"},
    {"id": "00A0C8666666", "name": "ZOMRA"},
    {"id": "00A0C8777777", "name": "ZOMRA-7"},
    {"id": "00A0C8222222", "name": "ZOMRA-2b"}
  ],
  "committedIds": {"2": "00A0C8222222", "5": "00A0C8999999"},
  "search": {"durationMs": 50}
})";

void UiFixture::SetUp() {
    SimFixture::SetUp();
    boxWatch_.setInterval(5);
    QObject::connect(&boxWatch_, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == leftUp_) {
            leftUp_ = box;
            return;
        }
        boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString(), box->icon(),
                         box->standardButtons(), box->parentWidget(), SimWriteCount()});
        if (boxes.size() <= boxAnswers.size()) {
            if (boxAnswers[boxes.size() - 1].empty()) {
                leftUp_ = box;
                return;
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().toStdString() == boxAnswers[boxes.size() - 1])
                    button->click();
            }
        }
        if (box->isVisible())
            box->done(QMessageBox::Ok);
    });
    boxWatch_.start();
    previousDir_ = std::filesystem::current_path().string();
    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/tarvelo-ui-XXXXXX"));
    ASSERT_TRUE(scratch.isValid());
    scratch.setAutoRemove(false);
    scratchDir_ = scratch.path().toStdString();
    std::filesystem::current_path(scratchDir_);
    // The journal of the writes stays in the scratch folder.
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(scratchDir_ + "/state"));
    qputenv("LOCALAPPDATA", QByteArray::fromStdString(scratchDir_ + "/state"));
}

void UiFixture::TearDown() {
    Stop();
    std::filesystem::current_path(previousDir_);
    std::filesystem::remove_all(scratchDir_);
    SimFixture::TearDown();
}

void UiFixture::WriteConfig(const std::string& text) {
    std::ofstream("config.ini") << text;
}

std::string UiFixture::ReadConfig() {
    std::ostringstream text;
    text << std::ifstream("config.ini").rdbuf();
    return text.str();
}

void UiFixture::Start(const std::string& scenario) {
    LoadScenario(scenario);
    SimClearLogs();
    window = std::make_unique<TfmMain>();
}

void UiFixture::Stop() {
    window.reset();
    CloseLinkDevice();
}

std::vector<std::string> UiFixture::ModuleCommands() {
    std::vector<std::string> commands;
    for (const std::string& write : Writes()) {
        if (write.size() < 6 || write.compare(0, 2, "MX") != 0)
            continue;
        const size_t length = std::stoul(write.substr(2, 2), nullptr, 16);
        std::string command = write.substr(6, length >= 5 ? length - 5 : 0);
        if (!command.empty() && command.back() == '\r')
            command.pop_back();
        commands.push_back(command);
    }
    return commands;
}

int UiFixture::Count(const std::string& command) {
    const std::vector<std::string> commands = ModuleCommands();
    return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

int UiFixture::RunLoop() {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    return QApplication::exec();
}

QPoint UiFixture::CellCentre(int col, int row) const {
    return window->sgGrid->CellRect(col, row).center();
}

bool UiFixture::DragOverAt(QPoint point) {
    bool accept = true;
    window->sgGridDragOver(window->sgGrid, window->lvDevices, point.x(), point.y(), dsDragMove,
                           accept);
    return accept;
}

void UiFixture::DropAt(QPoint point) {
    window->sgGridDragDrop(window->sgGrid, window->lvDevices, point.x(), point.y());
}
