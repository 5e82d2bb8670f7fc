#pragma once

#include "platform/error/raised_error.h"

#include <QString>

#include <cstdint>
#include <exception>

namespace forms {

// An error raised with a number and a description, the program's one error model.
class Error final : public plenvaro::RaisedError
{
public:
    Error(std::int32_t number, QString description, QString source = {});

    const QString& description() const noexcept { return m_description; }
    const QString& source() const noexcept { return m_source; }

private:
    QString m_description; // the base's text as callers read it, so they get a reference
    QString m_source;
};

// A raised error as the user is shown it.
struct ShownError
{
    std::int32_t number = 0;
    QString description;
};
// Any layer's error with its own number and description; any other exception as number 5, the
// runtime's "invalid procedure call", with its what().
ShownError describe(const std::exception& error);

} // namespace forms
