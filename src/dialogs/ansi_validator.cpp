#include "ansi_validator.h"

#include "cp1252.h"

namespace dialogs {

QValidator::State AnsiValidator::validate(QString& input, int&) const
{
    return cp1252::fromUtf8(input.toStdString()) ? Acceptable : Invalid;
}

} // namespace dialogs
