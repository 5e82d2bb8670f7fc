#include "platform/forms/error_handling.h"

#include "platform/forms/end_program.h"
#include "platform/forms/error.h"
#include "platform/forms/msgbox.h"

namespace forms {

void runUnhandled(const std::function<void()>& code)
{
    try {
        code();
    } catch (const std::exception& error) {
        MsgBox(describe(error).description, Buttons::OkOnly, Icon::None);
        endProgram(1);
    }
}

bool runReported(const std::function<void()>& code, Icon icon)
{
    try {
        code();
    } catch (const std::exception& error) {
        MsgBox(describe(error).description, Buttons::OkOnly, icon);
        return false;
    }
    return true;
}

bool ignoreErrors(const std::function<void()>& statement, QString* description)
{
    try {
        statement();
    } catch (const std::exception& error) {
        if (description != nullptr)
            *description = describe(error).description;
        return false;
    }
    return true;
}

} // namespace forms
