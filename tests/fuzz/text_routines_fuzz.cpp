// The text routines the program reads its command line and builds server lines with. The first
// byte picks the delimiter for GetPiece, the second the field number; the rest is the text, as UTF-8.

#include "fuzz_check.h"

#include "platform/forms/error.h"
#include "registry/cp1252.h"
#include "session/text_routines.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

using namespace Qt::Literals::StringLiterals;

namespace {

QString delimiterFor(std::uint8_t selector)
{
    if (selector == 0xFF)
        return {};
    if (selector == 0xFE)
        return u",,"_s; // longer than one character: no split
    return QString(QChar(char16_t{selector}));
}

void getPiece(const QString& text, const QString& delimiter, int n)
{
    const QString fallback = u"<default>"_s;
    QString expected = fallback;
    if (n >= 1 && delimiter.size() == 1) {
        const QStringList fields = text.split(delimiter.at(0));
        if (n <= fields.size() && !fields.at(n - 1).isEmpty())
            expected = fields.at(n - 1);
    } else if (n == 1 && !text.isEmpty()) {
        expected = text;
    }
    fuzz::check(session::GetPiece(text, delimiter, n, fallback) == expected, "GetPiece picks the n-th field");
}

void isNumeric(const QString& text)
{
    const bool numeric = session::IsNumeric(text);
    fuzz::check(session::IsNumeric(u" \t"_s + text + u"\t "_s) == numeric,
                "blanks around a number do not count");
    if (!numeric)
        return;
    const QString trimmed = text.trimmed();
    fuzz::check(!trimmed.isEmpty(), "no number is blank");
    for (const QChar c : trimmed)
        fuzz::check(u"0123456789+-.,&abcdefABCDEFoOhH"_s.contains(c),
                    "a number holds only number characters");
}

void programName(const QString& commandLine)
{
    const QString rest = session::textAfterProgramName(commandLine);
    fuzz::check(commandLine.endsWith(rest), "the arguments are the command line's end");
    fuzz::check(rest.isEmpty() || rest.front() > u' ', "the blanks after the program name are skipped");
    if (!rest.isEmpty()) {
        const QStringView name = QStringView(commandLine).first(commandLine.size() - rest.size());
        fuzz::check(name.count(u'"') % 2 == 0, "a program name ends outside quotes");
        fuzz::check(!name.isEmpty() && name.back() <= u' ', "a program name ends at a blank");
    }
}

void serverValues(const QString& text)
{
    const QString quoted = session::MQuoted(text);
    fuzz::check(quoted.size() == text.size() + text.count(u'"'), "MQuoted doubles each quote, nothing else");
    const QString value = session::MValue(text);
    if (value != text) {
        fuzz::check(value.size() >= 2 && value.front() == u'"' && value.back() == u'"', "MValue quotes text");
        QString inner = value.sliced(1, value.size() - 2);
        fuzz::check(inner.replace(u"\"\""_s, u"\""_s) == text, "a quoted value holds the text exactly");
    } else {
        fuzz::check(!text.isEmpty(), "nothing is never left bare");
        for (const QChar c : text)
            fuzz::check(c >= u'0' && c <= u'9', "only digits are left bare");
    }
}

void password(const QString& text)
{
    const bool storable = cp1252::fromUtf8(text.toStdString()).has_value();
    try {
        const QString scrambled = session::ScramblePassword(text);
        fuzz::check(storable, "only a password the code page holds is scrambled");
        fuzz::check(session::ScramblePassword(scrambled) == text, "scrambling twice gives the password back");
    } catch (const forms::Error&) {
        fuzz::check(!storable, "a password the code page holds is never refused");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
    getPiece(text, delimiterFor(data[0]), static_cast<std::int8_t>(data[1]));
    isNumeric(text);
    programName(text);
    serverValues(text);
    password(text);
    return 0;
}
