#include "dialogs/ansi_validator.h"

#include "registry/cp1252.h"

#include <algorithm>

namespace dialogs {
namespace {

bool inCodePage(const QString& text)
{
    return cp1252::fromUtf8(text.toStdString()).has_value();
}

} // namespace

bool isStorableText(const QString& text)
{
    const bool controls = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0);
    });
    return !controls && inCodePage(text);
}

QString upperWithinAnsi(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const QString upper = QString(c).toUpper();
        result += upper.size() == 1 && inCodePage(upper) ? upper : QString(c);
    }
    return result;
}

QValidator::State AnsiValidator::validate(QString& input, int& pos) const
{
    // After a paste the cursor stands behind the pasted text, so the breaks just before it are its end.
    qsizetype end = std::clamp<qsizetype>(pos, 0, input.size());
    while (end > 0 && (input.at(end - 1) == u'\n' || input.at(end - 1) == u'\r'))
        --end;
    if (end < pos) {
        input.remove(end, pos - end);
        pos = static_cast<int>(end);
    }
    return isStorableText(input) ? Acceptable : Invalid;
}

} // namespace dialogs
