#pragma once

#include "platform/forms/error_handling.h"

#include <QObject>

#include <functional>

namespace forms {

// Wires a control's signal to a form's event handler, run the way every handler of the program runs:
// an error it raises is shown and ends the program (runUnhandled), so none reaches Qt's event loop.
// The signal's arguments are not passed on; the handlers take none.
template <typename Sender, typename Signal, typename Form, typename Handler>
QMetaObject::Connection connectHandler(Sender* sender, Signal signal, Form* form, Handler handler)
{
    return QObject::connect(sender, signal, form, [form, handler] {
        runUnhandled([form, handler] { std::invoke(handler, form); });
    });
}

} // namespace forms
