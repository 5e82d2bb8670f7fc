#include "dialogs/form_support.h"

#include "dialogs/ansi_validator.h"
#include "platform/forms/error_handling.h"
#include "platform/forms/twips.h"

#include <QCoreApplication>
#include <QScreen>
#include <QWindow>

#include <vector>

namespace dialogs {
void setOwner(QWidget& window, QWidget* owner)
{
    // Ownership in the window system's sense only: kept above and centred on its owner, but never
    // a Qt child, so the owner's destruction cannot take the one instance with it.
    window.winId(); // make sure there is a native window to attach
    QWindow* ownerWindow = owner ? owner->window()->windowHandle() : nullptr;
    window.windowHandle()->setTransientParent(ownerWindow);
    const QRect area = owner ? owner->window()->frameGeometry() : window.screen()->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}

QLabel* addLabel(QWidget* parent, const QString& name, const QString& text, int left, int top, int width,
                 int height, bool sizedToText)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(forms::twipsRect(left, top, width, height));
    if (sizedToText)
        label->adjustSize();
    return label;
}

QLineEdit* addTextBox(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(forms::twipsRect(left, top, width, height));
    box->setValidator(new AnsiValidator(box));
    return box;
}

QPushButton* addPushButton(QWidget* parent, const QString& name, const QString& text, const QIcon& icon,
                           int left, int top, int width, int height)
{
    auto* button = new QPushButton(icon, text, parent);
    button->setObjectName(name);
    button->setGeometry(forms::twipsRect(left, top, width, height));
    button->setIconSize(QSize(16, 16));
    button->setAutoDefault(true); // Enter presses the focused button; elsewhere the default one
    return button;
}

} // namespace dialogs
