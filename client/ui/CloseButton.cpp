#include "ui/CloseButton.h"

#include "ui/SkinLayout.h"

namespace ui {

void CloseButtonPress(int x, int y, uint16_t& closeState, bool& dragArmed) {
    dragArmed = true;
    if (skin::kCloseButtonArea.Contains(x, y)) {
        closeState = ClosePressed;
    }
}

bool CloseButtonMove(int x, int y, bool dragArmed, uint16_t& closeState) {
    closeState = skin::kCloseButtonArea.Contains(x, y) ? CloseHover : CloseNormal;
    return dragArmed && skin::kDragStrip.Contains(x, y);
}

bool CloseButtonRelease(int x, int y, uint16_t& closeState, bool& dragArmed) {
    dragArmed = false;
    closeState = CloseNormal;
    return skin::kCloseButtonArea.Contains(x, y);
}

} // namespace ui
