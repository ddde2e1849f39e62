#include "Forms.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QWidget>

const char* const TahomaFile = "/usr/share/wine/fonts/tahoma.ttf";

namespace {

const QString Tahoma = QStringLiteral("Tahoma");
const int DesignedPixelSize = 11;
// The widest line the windows show, in the progress window's two-line text box (281 x 33
// pixels with its frame and margins). In Tahoma at 11 pixels it takes 260 pixels; a
// fallback font must fit both lines in the box with a few pixels to spare, as Tahoma does.
const QString WidestLine = QStringLiteral("Searching slaves and verifies already configured data.");
const int WidestLineRoom = 268;
const int TwoLinesRoom = 29;
// Smaller than this a fallback is not made: the text would become hard to read.
const int SmallestPixelSize = 8;

// The largest size from 11 pixels down at which `family` sets the widest line, and two
// lines of text, in their room.
int FittingPixelSize(const QString& family) {
    QFont font(family);
    int size = DesignedPixelSize;
    for (; size > SmallestPixelSize; --size) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(WidestLine) <= WidestLineRoom &&
            2 * metrics.lineSpacing() <= TwoLinesRoom)
            break;
    }
    return size;
}

} // namespace

bool RegisterFormFont(const char* file) {
    const int id = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(file));
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(Tahoma);
}

QFont FormFont() {
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(Tahoma)) {
        // Measured too: a system may set it wider than designed (wine's Tahoma through
        // Windows' own font engine does).
        font.setFamily(Tahoma);
        font.setPixelSize(FittingPixelSize(Tahoma));
        return font;
    }
    for (const QString& family : {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                  QStringLiteral("DejaVu Sans")}) {
        if (installed.contains(family)) {
            font.setFamily(family);
            font.setPixelSize(FittingPixelSize(family));
            return font;
        }
    }
    // No known family: the system's sans serif, measured the same way.
    font.setPixelSize(FittingPixelSize(QFontInfo(font).family()));
    return font;
}

QString ToQString(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStdString(const QString& text) {
    return text.toLatin1().toStdString();
}

void SetEnabled(std::initializer_list<QWidget*> controls, bool enabled) {
    for (QWidget* control : controls)
        control->setEnabled(enabled);
}
