#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>

namespace forms {

// An error raised with a number and a description, the program's one error model.
class Error final : public std::exception
{
public:
    Error(std::int32_t number, QString description, QString source = {});

    std::int32_t number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const QString& source() const noexcept { return m_source; }
    const char* what() const noexcept override;

private:
    std::int32_t m_number;
    QString m_description;
    QString m_source;
    QByteArray m_what; // UTF-8 of the description, kept alive for what()
};

} // namespace forms
