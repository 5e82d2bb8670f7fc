#pragma once

#include <QValidator>

namespace dialogs {

// Refuses characters the settings store cannot keep (it stores Windows-1252 text), so nothing
// typed is ever saved mangled.
class AnsiValidator final : public QValidator
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AnsiValidator)

public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace dialogs
