#pragma once

#include "platform/error/raised_error.h"

#include <QString>

#include <cstdint>
#include <utility>

namespace objfactory {

// A failed server operation: the server's own number and description, or one of the client's
// (lost connection, timeout, protocol), see wire::error.
class Error final : public plenvaro::RaisedError
{
public:
    Error(std::int32_t number, QString description)
        : RaisedError(number, description.toStdString()), m_description(std::move(description))
    {}

    const QString& description() const noexcept { return m_description; }

private:
    QString m_description; // the base's text as callers read it, so they get a reference
};

} // namespace objfactory
