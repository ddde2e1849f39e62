// What both windows share: their font, and the passage between the program's byte strings
// and Qt's texts.
#pragma once

#include <QFont>
#include <QString>

#include <initializer_list>
#include <string>

class QWidget;

// Tahoma, 8 point (11 pixels high), with look-alikes where Tahoma is not installed.
QFont FormFont();

// Each byte becomes the character of the same code and back, so a text survives the trip
// through a window unchanged, whatever bytes it holds.
QString ToQString(const std::string& text);
std::string ToStdString(const QString& text);

// Enables or disables a group of controls together.
void SetEnabled(std::initializer_list<QWidget*> controls, bool enabled);
