#pragma once

#include <QString>

#include <cstdint>
#include <exception>

namespace objfactory {

// A failed server operation: the server's own number and description, or one of the client's
// (lost connection, timeout, protocol), see wire::error.
class Error final : public std::exception
{
public:
    Error(std::int32_t number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8())
    {}

    std::int32_t number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    std::int32_t m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace objfactory
