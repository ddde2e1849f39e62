#include "Msgdlg.h"

#include "Forms.h"
#include "Images.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTimer>

const QString SearchExplanation =
    QStringLiteral("Searching slaves and verifies already configured data.\n"
                   "This operation needs approx 30 sec. ");
const QString WriteExplanation = QStringLiteral("Writing the ID table to the master unit.\n"
                                                "Please do not disconnect the USB cable.");

const std::string AnimationTexts[AnimationTextCount] = {
    "Please wait.",      "Please wait..",      "Please wait....",     "Please wait.....",
    "Please wait......", "Please wait.......", "Please wait........", "Please wait.........",
};

int32_t animationStep = 0;

TfmMsg::TfmMsg(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint) {
    setFont(FormFont());
    setFixedSize(375, 72);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(-1, 0, 377, 73);
    // The panel overhangs the window by a pixel on three sides; a two-pixel frame still
    // leaves the borderless window a visible edge all round.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setLineWidth(2);

    Image1 = new TPicture(DrawCycleSymbol, Panel1);
    Image1->setGeometry(17, 8, 65, 53);

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setGeometry(88, 16, 281, 33);
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Memo1->setLineWidth(1);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->document()->setDocumentMargin(1);
    Memo1->setPlainText(SearchExplanation);

    lblAnim = new QLabel(Panel1);
    lblAnim->setGeometry(88, 48, 33, 13);

    tmAnime = new QTimer(this);
    tmAnime->setInterval(300);
    connect(tmAnime, &QTimer::timeout, this, [this] { tmAnimeTimer(); });
}

void TfmMsg::FormShow() {
    lblAnim->clear();
    animationStep = 0;
    tmAnime->start();
}

void TfmMsg::tmAnimeTimer() {
    // The label grows to fit its text.
    lblAnim->setText(ToQString(AnimationTexts[animationStep]));
    lblAnim->adjustSize();
    animationStep++;
    if (animationStep > AnimationTextCount - 1)
        animationStep = 0;
}

void TfmMsg::FormHide() {
    tmAnime->stop();
    animationStep = 0;
}

void TfmMsg::showEvent(QShowEvent* event) {
    // A window coming back from the system (un-minimised) is not a new showing.
    if (!event->spontaneous())
        FormShow();
    QWidget::showEvent(event);
}

void TfmMsg::hideEvent(QHideEvent* event) {
    if (!event->spontaneous())
        FormHide();
    QWidget::hideEvent(event);
}

void TfmMsg::closeEvent(QCloseEvent* event) {
    event->ignore();
}
