#include "registry_error.h"

#include <cstdio>
#include <utility>

namespace registry {

RegistryError::RegistryError(std::int32_t number, std::string source, std::string description)
    : m_number(number), m_source(std::move(source)), m_description(std::move(description))
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(m_number));
    m_what = m_source + ": " + m_description + " (" + (m_number < 0 ? hex : std::to_string(m_number)) + ")";
}

} // namespace registry
