#pragma once

#include <QString>
#include <QValidator>

namespace dialogs {

// True when the settings store keeps text exactly as typed: Windows-1252 characters, no control
// characters (one of them would scramble to a zero byte and cut the stored password short).
bool isStorableText(const QString& text);

// Capital letters where the capital is one Windows-1252 character; anything else stays as typed
// ("µ" and "ƒ", whose capitals lie outside the code page, and "ß", whose capital is two letters).
QString upperWithinAnsi(const QString& text);

// Refuses typed or pasted text the settings store cannot keep, so nothing is ever saved mangled. The line
// breaks that end a pasted text (a copied spreadsheet cell) are dropped; one inside it is refused.
class AnsiValidator final : public QValidator
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AnsiValidator)

public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace dialogs
