#include "platform/forms/program_log.h"

#include <array>
#include <utility>

namespace forms {

Q_LOGGING_CATEGORY(lcMessages, "plenvaro.messages", QtInfoMsg)

void logEntry(const QLoggingCategory& area, const QString& text, const QString& parameter)
{
    if (area.isInfoEnabled())
        QMessageLogger(nullptr, 0, nullptr, area.categoryName()).info().noquote() << text + u'\t' + parameter;
}

QString programPart(QStringView area)
{
    static constexpr std::array<std::pair<QStringView, QStringView>, 4> Parts{{
        {u"session", u"Sitzung"},
        {u"articles", u"Artikelliste"},
        {u"stock", u"Lagerstand"},
        {u"messages", u"Meldungen"},
    }};
    for (const auto& [name, part] : Parts) {
        if (area == name)
            return part.toString();
    }
    return area.toString();
}

std::optional<LogEntry> programLogEntry(const QMessageLogContext& context, const QString& message)
{
    const QLatin1StringView category(context.category ? context.category : "");
    if (!category.startsWith(LogAreaPrefix))
        return std::nullopt;
    const qsizetype tab = message.indexOf(u'\t');
    return LogEntry{programPart(QString(category.mid(LogAreaPrefix.size()))),
                    tab < 0 ? message : message.left(tab), tab < 0 ? QString() : message.mid(tab + 1)};
}

const QLoggingCategory& messagesArea()
{
    return lcMessages();
}

} // namespace forms
