#include "platform/forms/do_events.h"

#include <QCoreApplication>

namespace forms {

void doEvents()
{
    QCoreApplication::processEvents();
}

} // namespace forms
