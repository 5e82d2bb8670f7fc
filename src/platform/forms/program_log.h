#pragma once

#include <QLoggingCategory>
#include <QString>

#include <optional>

namespace forms {

// One entry of the program log: what a user or a support desk needs to follow a session (never a
// password). Written through the toolkit's logging as an info message, so it reaches every sink: the
// program log window and, through the default handler, stderr. Text and parameter are separated by a
// tab, which reads well on a terminal too.
void logEntry(const QLoggingCategory& area, const QString& text, const QString& parameter = {});

// The program's own logging areas all start with this; the log window shows the part of the program that
// reports by its German name ("session" as "Sitzung", ...). A terminal keeps the area's own name.
inline constexpr QLatin1StringView LogAreaPrefix{"plenvaro."};

// The German name of a program area as the log window shows it ("stock": "Lagerstand"); an area without
// one by its own name.
QString programPart(QStringView area);

struct LogEntry
{
    QString area; // the part of the program that reports, by its German name
    QString text;
    QString parameter;
};
// An entry of the program's own areas as logEntry wrote it (or any other message of those areas, with
// an empty parameter); nothing for the toolkit's own messages.
std::optional<LogEntry> programLogEntry(const QMessageLogContext& context, const QString& message);

// The area of message boxes: every message shown to the user, errors among them.
const QLoggingCategory& messagesArea();

} // namespace forms
