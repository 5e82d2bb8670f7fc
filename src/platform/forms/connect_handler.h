#pragma once

#include "platform/forms/blocking_wait.h"
#include "platform/forms/error_handling.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace forms {

// Wires a control's signal to a form's event handler, run the way every handler of the program runs:
// an error it raises is shown and ends the program (runUnhandled), so none reaches Qt's event loop.
// The signal's arguments are not passed on; the handlers take none.
// A handler that fires while another one awaits a blocking step (a timer's tick) runs after that one.
template <typename Sender, typename Signal, typename Form, typename Handler>
QMetaObject::Connection connectHandler(Sender* sender, Signal signal, Form* form, Handler handler)
{
    return QObject::connect(sender, signal, form, [form, handler] {
        if (awaitingStep()) {
            runAfterAwaitedStep([guarded = QPointer<Form>(form), handler] {
                if (guarded)
                    runUnhandled([form = guarded.data(), handler] { std::invoke(handler, form); });
            });
            return;
        }
        runUnhandled([form, handler] { std::invoke(handler, form); });
    });
}

} // namespace forms
