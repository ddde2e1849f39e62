// The program entry of tarvelo.
#include "Forms.h"
#include "Main.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace {

void ShowException(const QString& message) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message);
}

// An exception may not pass through Qt's event handling: one thrown by a handler is shown
// and the message loop goes on.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            ShowException(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            ShowException(QString());
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    TApplication application(argc, argv);
    // Only the window's close path ends the run, through its quit request.
    application.setQuitOnLastWindowClosed(false);
    // The windows are laid out for Tahoma; without it FormFont falls back on its own.
    RegisterFormFont();
    try {
        TfmMain fmMain;
        // After a failed start-up the quit is already posted: the window is never shown.
        if (!fmMain.quitPosted)
            fmMain.show();
        application.exec();
    } catch (const std::exception& error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowException(QString());
    }
    return 0;
}
