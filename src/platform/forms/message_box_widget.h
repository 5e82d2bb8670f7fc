#pragma once

#include "platform/forms/msgbox_types.h"

#include <QMessageBox>

#include <memory>

class QWidget;

namespace forms::detail {

// The Qt box for one message; kept apart from MsgBox so the seam logic stays readable.
std::unique_ptr<QMessageBox> createMessageBox(const ShownMessage& message, QWidget* parent);

QMessageBox::StandardButton standardButton(Button button);

// The classic answer for a finished box; a box closed without a button counts as its cancel choice.
Button answerOf(const QMessageBox& box, Buttons buttons);

// What pressing Enter gives: the first button.
Button defaultButton(Buttons buttons);

bool offers(Buttons buttons, Button button);

} // namespace forms::detail
