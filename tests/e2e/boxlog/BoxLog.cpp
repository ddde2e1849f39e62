// Preloaded into the program by the end-to-end runner: records the caption and text of
// every message box the program builds, so the runner can check the exact message that a
// technician sees. Each hook appends one line to the file named by E2E_BOXLOG, then hands
// over to Qt's own function.
//
// Line: caption, tab, icon ("critical", "warning", "information", "question" or "none"),
// tab, text; a line feed in the text is written as \n, a tab as \t and a backslash as
// \\. A caption or icon not known at that point is written as "?".
#include <QMessageBox>

#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string Escaped(const QString& text) {
    std::string escaped;
    for (char c : text.toStdString()) {
        if (c == '\n')
            escaped += "\\n";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\\')
            escaped += "\\\\";
        else
            escaped += c;
    }
    return escaped;
}

std::string IconName(QMessageBox::Icon icon) {
    switch (icon) {
    case QMessageBox::Critical:
        return "critical";
    case QMessageBox::Warning:
        return "warning";
    case QMessageBox::Information:
        return "information";
    case QMessageBox::Question:
        return "question";
    default:
        return "none";
    }
}

void Record(const std::string& caption, const std::string& icon, const QString& text) {
    const char* path = std::getenv("E2E_BOXLOG");
    if (path == nullptr || *path == '\0')
        return;
    const std::string line = caption + "\t" + icon + "\t" + Escaped(text) + "\n";
    // One write per line in append mode, so lines from several processes never mix.
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t written = ::write(fd, line.data(), line.size());
    (void)written;
    ::close(fd);
}

template <typename Fn> Fn Real(const char* name) {
    return reinterpret_cast<Fn>(::dlvsym(RTLD_NEXT, name, "Qt_6"));
}

#define CTOR_ARGS                                                                                  \
    QMessageBox::Icon icon, const QString &title, const QString &text,                             \
        QMessageBox::StandardButtons buttons, QWidget *parent, Qt::WindowFlags flags
#define STATIC_ARGS                                                                                \
    QWidget *parent, const QString &title, const QString &text,                                    \
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton

using Ctor = void (*)(QMessageBox*, CTOR_ARGS);
using SetText = void (*)(QMessageBox*, const QString&);
using StaticBox = QMessageBox::StandardButton (*)(STATIC_ARGS);

// Qt's own symbol names of the functions hooked here.
#define CTOR_COMPLETE                                                                              \
    "_ZN11QMessageBoxC1ENS_4IconERK7QStringS3_6QFlagsINS_14StandardButtonEEP7QWidgetS4_IN2Qt"      \
    "10WindowTypeEE"
#define CTOR_BASE                                                                                  \
    "_ZN11QMessageBoxC2ENS_4IconERK7QStringS3_6QFlagsINS_14StandardButtonEEP7QWidgetS4_IN2Qt"      \
    "10WindowTypeEE"
#define SET_TEXT "_ZN11QMessageBox7setTextERK7QString"
#define CRITICAL "_ZN11QMessageBox8criticalEP7QWidgetRK7QStringS4_6QFlagsINS_14StandardButtonEES6_"
#define WARNING "_ZN11QMessageBox7warningEP7QWidgetRK7QStringS4_6QFlagsINS_14StandardButtonEES6_"
#define INFORMATION                                                                                \
    "_ZN11QMessageBox11informationEP7QWidgetRK7QStringS4_6QFlagsINS_14StandardButtonEES6_"

} // namespace

// The hooks carry Qt's own symbol names, so the dynamic loader binds the program's calls
// to them ahead of Qt's library.
extern "C" {
void HookCtorComplete(QMessageBox* self, CTOR_ARGS) __asm__(CTOR_COMPLETE);
void HookCtorBase(QMessageBox* self, CTOR_ARGS) __asm__(CTOR_BASE);
void HookSetText(QMessageBox* self, const QString& text) __asm__(SET_TEXT);
QMessageBox::StandardButton HookCritical(STATIC_ARGS) __asm__(CRITICAL);
QMessageBox::StandardButton HookWarning(STATIC_ARGS) __asm__(WARNING);
QMessageBox::StandardButton HookInformation(STATIC_ARGS) __asm__(INFORMATION);
}

void HookCtorComplete(QMessageBox* self, CTOR_ARGS) {
    Record(title.toStdString(), IconName(icon), text);
    Real<Ctor>(CTOR_COMPLETE)(self, icon, title, text, buttons, parent, flags);
}

void HookCtorBase(QMessageBox* self, CTOR_ARGS) {
    Record(title.toStdString(), IconName(icon), text);
    Real<Ctor>(CTOR_BASE)(self, icon, title, text, buttons, parent, flags);
}

void HookSetText(QMessageBox* self, const QString& text) {
    Record("?", "?", text);
    Real<SetText>(SET_TEXT)(self, text);
}

QMessageBox::StandardButton HookCritical(STATIC_ARGS) {
    Record(title.toStdString(), "critical", text);
    return Real<StaticBox>(CRITICAL)(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton HookWarning(STATIC_ARGS) {
    Record(title.toStdString(), "warning", text);
    return Real<StaticBox>(WARNING)(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton HookInformation(STATIC_ARGS) {
    Record(title.toStdString(), "information", text);
    return Real<StaticBox>(INFORMATION)(parent, title, text, buttons, defaultButton);
}
