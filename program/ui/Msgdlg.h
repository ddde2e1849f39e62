// The progress window shown while a slave search runs: a cycle picture, two lines of
// explanation and a "Please wait." line that grows by dots every 300 ms.
#pragma once

#include <QWidget>

#include <cstdint>
#include <string>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QTimer;
class TPicture;

// The two lines of explanation: while a search runs, and while the ID table is written.
extern const QString SearchExplanation;
extern const QString WriteExplanation;

// The texts of the animation line, in the order the ticks show them; kept for the whole
// run. There is no text with three dots.
constexpr int32_t AnimationTextCount = 8;
extern const std::string AnimationTexts[AnimationTextCount];
// The index of the text the next tick shows, 0 to 7.
extern int32_t animationStep;

class TfmMsg : public QWidget {
public:
    // The window belongs to `owner`: it has no task-bar button and stays in front of it.
    explicit TfmMsg(QWidget* owner);

    // Runs when the window becomes visible: the line starts empty and the cycle from its
    // first text.
    void FormShow();
    // One tick: shows the current text and moves the cycle on.
    void tmAnimeTimer();
    // Runs when the window is hidden: stops the ticks and resets the cycle.
    void FormHide();

    QFrame* Panel1;
    TPicture* Image1;
    QPlainTextEdit* Memo1;
    QLabel* lblAnim;
    QTimer* tmAnime;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // The window only informs; the search it accompanies hides it.
    void closeEvent(QCloseEvent* event) override;
};
