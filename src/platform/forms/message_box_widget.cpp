#include "platform/forms/message_box_widget.h"

#include <QAbstractButton>

namespace forms::detail {
namespace {

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

std::unique_ptr<QMessageBox> createMessageBox(const ShownMessage& message, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(message.title);
    // Texts come from the program and the database, never markup; "<" must show as typed.
    box->setTextFormat(Qt::PlainText);
    box->setText(message.text);
    box->setIcon(qtIcon(message.icon));
    if (message.buttons == Buttons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }
    return box;
}

QMessageBox::StandardButton standardButton(Button button)
{
    switch (button) {
    case Button::Yes:
        return QMessageBox::Yes;
    case Button::No:
        return QMessageBox::No;
    case Button::Ok:
        break;
    }
    return QMessageBox::Ok;
}

Button answerOf(const QMessageBox& box, Buttons buttons)
{
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
        return Button::Yes;
    case QMessageBox::No:
        return Button::No;
    case QMessageBox::Ok:
        return Button::Ok;
    default:
        return buttons == Buttons::YesNo ? Button::No : Button::Ok;
    }
}

Button defaultButton(Buttons buttons)
{
    return buttons == Buttons::YesNo ? Button::Yes : Button::Ok;
}

bool offers(Buttons buttons, Button button)
{
    if (buttons == Buttons::YesNo)
        return button == Button::Yes || button == Button::No;
    return button == Button::Ok;
}

} // namespace forms::detail
