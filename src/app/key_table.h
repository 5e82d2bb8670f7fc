#pragma once

#include <Qt>

namespace app {

// What the main window does with a key it sees ahead of its controls.
enum class KeyAction
{
    None,
    Close,
    First,
    Previous,
    Next,
    Last,
};

// Shift state as the window system reported it: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(Qt::KeyboardModifiers modifiers);
KeyAction keyAction(int key, int shift);

} // namespace app
