#pragma once

#include "platform/forms/msgbox_types.h"

#include <QString>

#include <functional>

// The three ways the program reacts to a raised error or any other std::exception. ProgramEnded is not
// an error and passes through all of them untouched.
namespace forms {

// Nobody handles errors in code: the description is shown as the runtime showed it (OK, application
// title, no icon) and the program ends with code 1.
void runUnhandled(const std::function<void()>& code);

// Catch, report, end the operation: the description is shown with an OK button and the application
// title, then the call returns. Returns false if an error was caught.
bool runReported(const std::function<void()>& code, Icon icon = Icon::None);

// Ignores the error of one statement, so a caller writes one call per statement it wants to survive.
// Returns false if the statement failed; its description then goes to *description, when given.
bool ignoreErrors(const std::function<void()>& statement, QString* description = nullptr);

} // namespace forms
