#include "platform/ado/ado_recordset_model.h"

#include "platform/ado/ado_error.h"
#include "platform/ado/ado_recordset.h"

#include <QLocale>

#include <limits>

namespace ado {
namespace {

void putTwoDigits(QChar*& out, int value)
{
    *out++ = QChar(u'0' + value / 10 % 10);
    *out++ = QChar(u'0' + value % 10);
}

QString germanDate(QDate date, const QTime* time = nullptr)
{
    QString text(time ? 19 : 10, Qt::Uninitialized);
    QChar* out = text.data();
    putTwoDigits(out, date.day());
    *out++ = u'.';
    putTwoDigits(out, date.month());
    *out++ = u'.';
    const int year = date.year();
    if (year < 0 || year > 9999)
        return date.toString(u"dd.MM.yyyy");
    putTwoDigits(out, year / 100);
    putTwoDigits(out, year % 100);
    if (time) {
        *out++ = u' ';
        putTwoDigits(out, time->hour());
        *out++ = u':';
        putTwoDigits(out, time->minute());
        *out++ = u':';
        putTwoDigits(out, time->second());
    }
    return text;
}

const QLocale& germanLocale()
{
    static const QLocale locale = [] {
        QLocale german(QLocale::German, QLocale::Germany);
        german.setNumberOptions(QLocale::OmitGroupSeparator);
        return german;
    }();
    return locale;
}

} // namespace

QString displayText(const Recordset& recordset, qsizetype row, int field)
{
    if (recordset.isNull(row, field))
        return {};
    switch (recordset.fieldType(field)) {
    case FieldType::Text:
        return recordset.text(row, field);
    case FieldType::Integer:
        return QString::number(recordset.integer(row, field));
    case FieldType::Decimal:
        return recordset.decimal(row, field).toString(u',');
    case FieldType::Double:
        return germanLocale().toString(recordset.real(row, field), 'f', recordset.fieldScale(field));
    case FieldType::Date:
        return germanDate(recordset.date(row, field));
    case FieldType::DateTime: {
        const QDateTime value = recordset.dateTime(row, field);
        const QTime time = value.time();
        return germanDate(value.date(), &time);
    }
    }
    return {};
}

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

RecordsetModel::~RecordsetModel() = default;

void RecordsetModel::setRecordset(Recordset* recordset)
{
    beginResetModel();
    disconnect(aboutToReplace_);
    disconnect(replaced_);
    disconnect(destroyed_);
    recordset_ = recordset;
    if (recordset) {
        aboutToReplace_ =
            connect(recordset, &Recordset::rowsAboutToBeReplaced, this, &RecordsetModel::beginResetModel);
        replaced_ = connect(recordset, &Recordset::rowsReplaced, this, &RecordsetModel::endResetModel);
        // The recordset says nothing while it dies, and views keep their sections until the model resets.
        destroyed_ = connect(recordset, &QObject::destroyed, this, [this] {
            beginResetModel();
            recordset_.clear();
            endResetModel();
        });
    }
    endResetModel();
}

const Recordset* RecordsetModel::openRecordset() const noexcept
{
    const Recordset* recordset = recordset_.data();
    return recordset && recordset->isOpen() ? recordset : nullptr;
}

int RecordsetModel::rowCount(const QModelIndex& parent) const
{
    const Recordset* recordset = openRecordset();
    if (parent.isValid() || !recordset)
        return 0;
    // Item views count rows in int.
    return static_cast<int>(qMin<qsizetype>(recordset->recordCount(), std::numeric_limits<int>::max()));
}

int RecordsetModel::columnCount(const QModelIndex& parent) const
{
    const Recordset* recordset = openRecordset();
    return parent.isValid() || !recordset ? 0 : recordset->fieldCount();
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const
{
    const Recordset* recordset = openRecordset();
    if (!recordset || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    try {
        if (role == Qt::DisplayRole)
            return displayText(*recordset, index.row(), index.column());
        if (role == Qt::TextAlignmentRole) {
            const FieldType type = recordset->fieldType(index.column());
            const bool number =
                type == FieldType::Integer || type == FieldType::Decimal || type == FieldType::Double;
            return QVariant::fromValue(
                Qt::Alignment(number ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter));
        }
    } catch (const Error&) {
        // Views must not see exceptions; a cell that cannot be read stays empty.
    }
    return {};
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const Recordset* recordset = openRecordset();
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !recordset || section < 0 ||
        section >= recordset->fieldCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return recordset->fieldName(section);
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace ado
