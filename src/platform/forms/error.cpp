#include "platform/forms/error.h"

#include <utility>

namespace forms {

Error::Error(std::int32_t number, QString description, QString source)
    : RaisedError(number, description.toStdString()), m_description(std::move(description)),
      m_source(std::move(source))
{}

ShownError describe(const std::exception& error)
{
    if (const auto* raised = dynamic_cast<const plenvaro::RaisedError*>(&error))
        return {raised->number(), QString::fromStdString(raised->description())};
    return {5, QString::fromUtf8(error.what())};
}

} // namespace forms
