#include "app/key_table.h"

namespace app {

int shiftState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

KeyAction keyAction(int key, int shift)
{
    constexpr int exactlyCtrl = 2;
    switch (key) {
    case Qt::Key_Escape:
        return KeyAction::Close;
    case Qt::Key_End:
        return KeyAction::Last;
    case Qt::Key_Home:
        return KeyAction::First;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        return shift == exactlyCtrl ? KeyAction::First : KeyAction::Previous;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        return shift == exactlyCtrl ? KeyAction::Last : KeyAction::Next;
    default:
        return KeyAction::None;
    }
}

} // namespace app
