// The progress window's animation line.
#include "program/ui/Msgdlg.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

TEST(ProgressTest, TheTextsGrowByDotsWithoutAThreeDotText) {
    const char* expected[] = {"Please wait.",        "Please wait..",       "Please wait....",
                              "Please wait.....",    "Please wait......",   "Please wait.......",
                              "Please wait........", "Please wait........."};
    for (int i = 0; i < AnimationTextCount; i++)
        EXPECT_EQ(AnimationTexts[i], expected[i]);
}

TEST(ProgressTest, EachShowingStartsTheCycleFromAnEmptyLine) {
    QWidget owner;
    TfmMsg fmMsg(&owner);
    EXPECT_EQ(fmMsg.tmAnime->interval(), 300);

    fmMsg.show();
    EXPECT_TRUE(fmMsg.tmAnime->isActive());
    EXPECT_TRUE(fmMsg.lblAnim->text().isEmpty()) << "no text before the first tick";
    EXPECT_EQ(animationStep, 0);
    for (int tick = 0; tick < AnimationTextCount; tick++) {
        fmMsg.tmAnimeTimer();
        EXPECT_EQ(fmMsg.lblAnim->text().toStdString(), AnimationTexts[tick]);
    }
    EXPECT_EQ(animationStep, 0);
    EXPECT_GE(fmMsg.lblAnim->width(), fmMsg.lblAnim->sizeHint().width()) << "grows to fit";
    fmMsg.tmAnimeTimer();
    EXPECT_EQ(fmMsg.lblAnim->text().toStdString(), "Please wait.") << "the ninth tick";
    fmMsg.tmAnimeTimer();

    fmMsg.hide();
    EXPECT_FALSE(fmMsg.tmAnime->isActive());
    EXPECT_EQ(animationStep, 0);

    fmMsg.show();
    EXPECT_TRUE(fmMsg.lblAnim->text().isEmpty());
    fmMsg.tmAnimeTimer();
    EXPECT_EQ(fmMsg.lblAnim->text().toStdString(), "Please wait.");

    fmMsg.close();
    EXPECT_TRUE(fmMsg.isVisible()) << "only the search hides it";
    fmMsg.hide();
}
