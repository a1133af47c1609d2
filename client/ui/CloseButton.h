#pragma once
// The mouse on the borderless window: the look of the close button, whether a press armed a
// window drag, and what a move or a release leads to. Positions are client pixels.

#include <cstdint>

namespace ui {

// The look of the close button, also its frame index in the close button bitmap.
enum CloseLook : uint16_t {
    CloseNormal = 0,
    CloseHover = 1,
    ClosePressed = 2,
};

// Any press arms a drag; a press on the button shows it pressed.
void CloseButtonPress(int x, int y, uint16_t& closeState, bool& dragArmed);

// Hover follows the cursor, so a pressed look becomes hover at the first move. True when the
// move should start a system move of the window: a drag is armed and the cursor is in the title
// band.
bool CloseButtonMove(int x, int y, bool dragArmed, uint16_t& closeState);

// Disarms the drag and resets the look. True when the release ends the program: it is on the
// button, wherever the press was.
bool CloseButtonRelease(int x, int y, uint16_t& closeState, bool& dragArmed);

} // namespace ui
