#include "error.h"

#include <utility>

namespace forms {

Error::Error(std::int32_t number, QString description, QString source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_what(m_description.toUtf8())
{}

const char* Error::what() const noexcept
{
    return m_what.constData();
}

} // namespace forms
