#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace plenvaro {

// A number and a description, what every layer's error carries, so one handler can report any of
// them without knowing the layer. Only the layers' own kinds are raised.
class RaisedError : public std::exception
{
public:
    std::int32_t number() const noexcept { return m_number; }
    // UTF-8.
    const std::string& description() const noexcept { return m_description; }
    const char* what() const noexcept override;

protected:
    RaisedError(std::int32_t number, std::string description);

private:
    std::int32_t m_number;
    std::string m_description;
};

} // namespace plenvaro
