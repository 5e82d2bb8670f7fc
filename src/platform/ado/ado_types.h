#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

namespace ado {

// How a field's values are held and shown. Anything the layer has no own kind for (times, binary, GUIDs) is
// kept as the driver's text.
enum class FieldType
{
    Text,
    Integer,
    Decimal,
    Double,
    Date,
    DateTime,
};

// Values of EventReasonEnum that the recordset raises with its move-complete notification.
enum EventReason : int
{
    adRsnRequery = 7,
    adRsnMove = 10,
    adRsnMoveFirst = 12,
    adRsnMoveNext = 13,
    adRsnMovePrevious = 14,
    adRsnMoveLast = 15,
};

// Special values of AbsolutePosition when there is no current record.
enum PositionEnum : qsizetype
{
    adPosUnknown = -1,
    adPosBOF = -2,
    adPosEOF = -3,
};

// How text crosses the ODBC boundary: narrow UTF-8 (what unixODBC drivers deliver) or UTF-16.
enum class TextTransfer
{
    Utf8,
    Utf16,
};

// The transfer that is right for the platform's driver manager.
TextTransfer defaultTextTransfer() noexcept;

// An exact decimal number: mantissa / 10^scale.
struct Decimal
{
    qint64 mantissa = 0;
    int scale = 0;

    // Digits with the given decimal point, exactly `scale` of them after it, e.g. "-12,50".
    QString toString(QChar decimalPoint = u'.') const;
    double toDouble() const noexcept;

    friend bool operator==(const Decimal&, const Decimal&) = default;
};

} // namespace ado

Q_DECLARE_METATYPE(ado::Decimal)
