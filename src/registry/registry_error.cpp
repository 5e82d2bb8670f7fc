#include "registry/registry_error.h"

#include <cstdio>
#include <utility>

namespace registry {

RegistryError::RegistryError(std::int32_t number, std::string source, std::string description)
    : RaisedError(number, std::move(description)), m_source(std::move(source))
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(number));
    m_what = m_source + ": " + this->description() + " (" + (number < 0 ? hex : std::to_string(number)) + ")";
}

} // namespace registry
