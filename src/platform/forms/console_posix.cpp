#include "platform/forms/console.h"

namespace forms {

void writeToParentConsole() {}

} // namespace forms
