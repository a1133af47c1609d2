#include "ui/CloseButton.h"

#include "ui/SkinLayout.h"

void CloseButtonPress(int x, int y, uint16_t& closeState, bool& dragArmed) {
    dragArmed = true;
    if (skin::CloseButtonArea.Contains(x, y)) {
        closeState = ClosePressed;
    }
}

bool CloseButtonMove(int x, int y, bool dragArmed, uint16_t& closeState) {
    closeState = skin::CloseButtonArea.Contains(x, y) ? CloseHover : CloseNormal;
    return dragArmed && skin::DragStrip.Contains(x, y);
}

bool CloseButtonRelease(int x, int y, uint16_t& closeState, bool& dragArmed) {
    dragArmed = false;
    closeState = CloseNormal;
    return skin::CloseButtonArea.Contains(x, y);
}
