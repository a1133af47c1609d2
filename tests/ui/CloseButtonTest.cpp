#include "ui/CloseButton.h"
#include "ui/SkinLayout.h"

#include <gtest/gtest.h>

using namespace ui;

TEST(CloseButton, HitAreaIncludesLeftAndTopEdgesOnly) {
    EXPECT_TRUE(skin::kCloseButtonArea.Contains(466, 5));
    EXPECT_TRUE(skin::kCloseButtonArea.Contains(491, 23));
    EXPECT_FALSE(skin::kCloseButtonArea.Contains(465, 10));
    EXPECT_FALSE(skin::kCloseButtonArea.Contains(492, 10));
    EXPECT_FALSE(skin::kCloseButtonArea.Contains(480, 4));
    EXPECT_FALSE(skin::kCloseButtonArea.Contains(480, 24));
}

TEST(CloseButton, PressShowsPressedUntilTheFirstMove) {
    uint16_t state = CloseNormal;
    bool armed = false;
    CloseButtonPress(480, 10, state, armed);
    EXPECT_EQ(state, ClosePressed);
    EXPECT_TRUE(armed);
    // Moving while held on the button shows hover, and (being in the title band) drags.
    EXPECT_TRUE(CloseButtonMove(481, 10, armed, state));
    EXPECT_EQ(state, CloseHover);
    EXPECT_FALSE(CloseButtonMove(300, 80, armed, state));
    EXPECT_EQ(state, CloseNormal);
}

TEST(CloseButton, PressElsewhereArmsTheDragButKeepsTheLook) {
    uint16_t state = CloseHover;
    bool armed = false;
    CloseButtonPress(100, 60, state, armed);
    EXPECT_TRUE(armed);
    EXPECT_EQ(state, CloseHover);
    // Below the title band no move is started, until the cursor enters the top 27 rows.
    EXPECT_FALSE(CloseButtonMove(100, 60, armed, state));
    EXPECT_FALSE(CloseButtonMove(100, 27, armed, state));
    EXPECT_TRUE(CloseButtonMove(100, 26, armed, state));
    EXPECT_TRUE(CloseButtonMove(499, 0, armed, state));
    EXPECT_FALSE(CloseButtonMove(500, 0, armed, state));
}

TEST(CloseButton, MovesWithoutAPressNeverDrag) {
    uint16_t state = CloseNormal;
    EXPECT_FALSE(CloseButtonMove(100, 10, false, state));
    EXPECT_FALSE(CloseButtonMove(480, 10, false, state));
    EXPECT_EQ(state, CloseHover);
}

TEST(CloseButton, ReleaseOnTheButtonEndsTheProgramWhereverThePressWas) {
    uint16_t state = CloseNormal;
    bool armed = false;
    CloseButtonPress(100, 100, state, armed);
    EXPECT_TRUE(CloseButtonRelease(466, 5, state, armed));
    EXPECT_FALSE(armed);
    EXPECT_EQ(state, CloseNormal);

    CloseButtonPress(480, 10, state, armed);
    EXPECT_FALSE(CloseButtonRelease(492, 10, state, armed));
    EXPECT_EQ(state, CloseNormal);
    EXPECT_FALSE(armed);
    EXPECT_FALSE(CloseButtonRelease(480, 24, state, armed));
}
