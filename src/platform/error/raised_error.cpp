#include "platform/error/raised_error.h"

#include <utility>

namespace plenvaro {

RaisedError::RaisedError(std::int32_t number, std::string description)
    : m_number(number), m_description(std::move(description))
{}

const char* RaisedError::what() const noexcept
{
    return m_description.c_str();
}

} // namespace plenvaro
