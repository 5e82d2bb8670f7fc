#pragma once

namespace forms {

// Lets pending events run, e.g. so a status text paints before a long query.
void doEvents();

} // namespace forms
