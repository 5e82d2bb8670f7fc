#pragma once

namespace forms {

// Values as in the classic system.
enum class Pointer
{
    Default = 0,
    Hourglass = 11,
};

// Application-wide pointer. Repeated settings do not stack: one Default always brings the normal pointer
// back.
void setMousePointer(Pointer pointer);
Pointer mousePointer();

} // namespace forms
