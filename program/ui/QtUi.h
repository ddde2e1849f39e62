// The window layer's side of platform::Ui: Qt's event loop and message boxes.
#pragma once

#include "platform/Ui.h"

class QWidget;

class QtUi final : public platform::Ui {
public:
    // Message boxes are owned by `owner` (nullptr: no owner window).
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void ProcessMessages() override;
    void WaitForMessages() override;
    void Wake() override;
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        platform::BoxIcon icon) override;

private:
    QWidget* owner_ = nullptr;
};
