#include "QtUi.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

void QtUi::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtUi::WaitForMessages() {
    // Sleeps in the event dispatcher until a message arrives or Wake() interrupts it;
    // a wake-up that came first makes this return at once.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtUi::Wake() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(app->thread()))
        dispatcher->wakeUp();
}

void QtUi::ShowMessageBox(const std::string& text, const std::string& caption,
                          platform::BoxIcon icon) {
    const bool warning = icon == platform::BoxIcon::Warning;
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Critical,
                    QString::fromLatin1(caption.c_str()), QString::fromLatin1(text.c_str()),
                    QMessageBox::Ok, owner_);
    // A screen reader cannot see the icon; it reads what the icon means.
    box.setAccessibleDescription(warning ? QStringLiteral("Warning") : QStringLiteral("Error"));
    box.exec();
}
