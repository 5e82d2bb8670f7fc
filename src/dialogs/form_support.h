#pragma once

#include <QIcon>
#include <QList>
#include <QStringView>
#include <QWidget>

#include <initializer_list>

namespace dialogs {

// Makes owner (or nobody) the owner of a top-level window and centres it on the owner (or screen).
void setOwner(QWidget& window, QWidget* owner);

// What a row of a form's control table makes.
enum class ControlKind
{
    Label,          // a text, placed as laid out
    SizedLabel,     // a text sized to its contents
    TextBox,        // a box that refuses characters the settings store cannot keep
    PasswordBox,    // the same, every character shown as "*"
    LockedTextBox,  // a text box, disabled, on the button-face colour
    PushButton,     // a button with a 16 x 16 picture beside its caption
    DefaultButton,  // the same, pressed by Enter unless another button has the focus
    TwoStateButton, // the same, latching: each click flips its state (set at first)
    Link,           // a text with links, reached by mouse and keyboard; the form handles linkActivated
    Picture,        // room for a picture the form sets, centred
    Bar,            // a flat bar filled with the colour its text names ("#808080", "white")
};

enum class ControlFlag
{
    WordWrap = 0x1, // a label's text wraps at its width and starts at the top
    FillBox = 0x2,  // a picture is stretched to its box
};
Q_DECLARE_FLAGS(ControlFlags, ControlFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(ControlFlags)

// One control as the window's control table lays it out: name, kind, text, position in twips, tab
// index (-1: not in the tab order), the most characters a box takes (0: no limit), a button's picture
// and flags.
struct Control
{
    QStringView name;
    ControlKind kind;
    QStringView text;
    int left, top, width, height;
    int tabIndex = -1;
    int maxLength = 0;
    QIcon (*picture)() = nullptr;
    ControlFlags flags = {};
};

// Makes the table's controls as children of form, named by their control names, and sets the tab
// order by the tab indexes. Returns them in table order.
QList<QWidget*> placeControls(QWidget& form, std::initializer_list<Control> table);

// A control placed by placeControls, by its name.
template <typename T> T& placed(QWidget& form, QStringView name)
{
    T* found = form.findChild<T*>(name.toString(), Qt::FindDirectChildrenOnly);
    Q_ASSERT(found);
    return *found;
}

} // namespace dialogs
