// What both windows share: their font, and the passage between the program's byte strings
// and Qt's texts.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <string>

class QWidget;

// Where Debian's fonts-wine puts its Tahoma, which is metric-compatible with the one the
// windows are laid out for.
extern const char* const TahomaFile;

// Makes the Tahoma in `file` available to the program as an application font. Returns
// true when the file was loaded and holds the family "Tahoma"; false when it is missing or
// unreadable (the windows then use a fallback, see FormFont). Needs the application
// object; call it before the first window is built.
bool RegisterFormFont(const char* file = TahomaFile);

// The windows' font: Tahoma at 11 pixels (8 point), when the system or RegisterFormFont
// provides it. Otherwise the first installed of Liberation Sans, Arial and DejaVu Sans. The
// size is the largest up to 11 pixels at which the widest designed text line (the progress
// window's first line) is no wider than in Tahoma, so every text still fits its control;
// for Tahoma that is 11 pixels unless the system sets it wider than designed.
// Needs the application object.
QFont FormFont();

// Each byte becomes the character of the same code and back, so a text survives the trip
// through a window unchanged, whatever bytes it holds.
QString ToQString(const std::string& text);
std::string ToStdString(const QString& text);

// Enables or disables a group of controls together.
void SetEnabled(std::initializer_list<QWidget*> controls, bool enabled);
