#include "app/window_memory.h"

#include "platform/ado/ado_data_grid.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_recordset.h"
#include "platform/error/raised_error.h"
#include "platform/forms/program_log.h"
#include "session/settings_store.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QScreen>
#include <QTableView>

#include <exception>

using namespace Qt::Literals::StringLiterals;

namespace app {

Q_LOGGING_CATEGORY(lcWindow, "plenvaro.session", QtInfoMsg)

namespace {

// The program's own section, as for "Lagerstand mitführen".
const QString Section = u"Plenvaro"_s;
const QString GeometryKey = u"Fenster"_s;
const QString MaximizedKey = u"FensterMaximiert"_s;
const QString ColumnsKey = u"Spaltenbreiten"_s;
const QString SortFieldKey = u"SortierFeld"_s;
const QString SortDescendingKey = u"SortierAbsteigend"_s;

// Bounds for a stored column width, so a damaged value neither hides a column nor makes it miles wide.
constexpr int MinColumnWidth = 8;
constexpr int MaxColumnWidth = 4000;

QString application()
{
    return QString::fromLatin1(session::SettingsApplication);
}

QRect parseRect(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return {};
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok)
            return {};
    }
    if (values[2] <= 0 || values[3] <= 0)
        return {};
    return QRect(values[0], values[1], values[2], values[3]);
}

QMap<QString, int> parseColumns(const QString& text)
{
    QMap<QString, int> widths;
    for (const QString& entry : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = entry.lastIndexOf(u'=');
        if (equals <= 0)
            continue;
        bool ok = false;
        const int width = entry.mid(equals + 1).toInt(&ok);
        if (ok)
            widths.insert(entry.left(equals).toLower(), qBound(MinColumnWidth, width, MaxColumnWidth));
    }
    return widths;
}

QString columnsText(const QMap<QString, int>& widths)
{
    QStringList entries;
    for (auto it = widths.cbegin(); it != widths.cend(); ++it)
        entries << it.key() + u'=' + QString::number(it.value());
    return entries.join(u';');
}

QList<QRect> availableScreens()
{
    QList<QRect> screens;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screens << primary->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            screens << screen->availableGeometry();
    return screens;
}

} // namespace

WindowMemory readWindowMemory()
{
    WindowMemory memory;
    const auto get = [](const QString& key) { return session::GetSetting(application(), Section, key); };
    try {
        memory.geometry = parseRect(get(GeometryKey));
        memory.maximized = get(MaximizedKey) == u"1"_s;
        memory.columnWidths = parseColumns(get(ColumnsKey));
        memory.sortField = get(SortFieldKey).trimmed();
        memory.sortDescending = get(SortDescendingKey) == u"1"_s;
    } catch (const plenvaro::RaisedError&) {
        return {};
    }
    return memory;
}

void saveWindowMemory(const WindowMemory& memory)
{
    const QRect& g = memory.geometry;
    session::SaveSettings(
        application(), Section,
        {{GeometryKey,
          g.isNull() ? QString() : u"%1,%2,%3,%4"_s.arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())},
         {MaximizedKey, memory.maximized ? u"1"_s : u"0"_s},
         {ColumnsKey, columnsText(memory.columnWidths)},
         {SortFieldKey, memory.sortField},
         {SortDescendingKey, memory.sortDescending ? u"1"_s : u"0"_s}});
}

QRect fitIntoScreens(const QRect& wanted, const QList<QRect>& screens)
{
    if (screens.isEmpty() || wanted.isEmpty())
        return wanted;
    QRect screen = screens.constFirst();
    qint64 best = 0;
    for (const QRect& candidate : screens) {
        const QRect overlap = candidate.intersected(wanted);
        const qint64 area = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
        if (area > best) {
            best = area;
            screen = candidate;
        }
    }
    QRect fitted(wanted.topLeft(), wanted.size().boundedTo(screen.size()));
    fitted.moveLeft(qBound(screen.left(), fitted.left(), screen.right() + 1 - fitted.width()));
    fitted.moveTop(qBound(screen.top(), fitted.top(), screen.bottom() + 1 - fitted.height()));
    return fitted;
}

WindowMemory windowMemoryOf(const QMainWindow& window, const ado::DataGrid& grid)
{
    WindowMemory memory;
    memory.geometry = window.normalGeometry();
    memory.maximized = window.isMaximized();
    const ado::Recordset* recordset = grid.dataSource();
    if (!recordset || !recordset->isOpen())
        return memory;
    const QHeaderView* header = grid.view()->horizontalHeader();
    for (int field = 0; field < recordset->fieldCount() && field < header->count(); ++field)
        memory.columnWidths.insert(recordset->fieldName(field).toLower(), header->sectionSize(field));
    if (recordset->sortField() >= 0) {
        memory.sortField = recordset->fieldName(recordset->sortField());
        memory.sortDescending = recordset->sortDescending();
    }
    return memory;
}

void applyWindowMemory(const WindowMemory& memory, QMainWindow& window, ado::DataGrid& grid)
{
    if (!memory.geometry.isNull())
        window.setGeometry(fitIntoScreens(memory.geometry, availableScreens()));
    if (memory.maximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    ado::Recordset* recordset = grid.dataSource();
    if (!recordset || !recordset->isOpen())
        return;
    const int sortField = memory.sortField.isEmpty() ? -1 : recordset->fieldIndex(memory.sortField);
    if (sortField >= 0) {
        try {
            recordset->sort(sortField, memory.sortDescending);
        } catch (const ado::Error&) {
            // Too many rows to sort: the list keeps the query's order, as a click on the heading would.
        }
    }
    QHeaderView* header = grid.view()->horizontalHeader();
    for (int field = 0; field < recordset->fieldCount() && field < header->count(); ++field) {
        const auto width = memory.columnWidths.constFind(recordset->fieldName(field).toLower());
        if (width != memory.columnWidths.cend())
            header->resizeSection(field, *width);
    }
}

void restoreWindow(QMainWindow& window, ado::DataGrid& grid)
{
    applyWindowMemory(readWindowMemory(), window, grid);
}

bool rememberWindow(const QMainWindow& window, const ado::DataGrid& grid) noexcept
{
    try {
        saveWindowMemory(windowMemoryOf(window, grid));
        return true;
    } catch (const std::exception& error) {
        forms::logEntry(lcWindow(), u"Fenster nicht gemerkt"_s, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        forms::logEntry(lcWindow(), u"Fenster nicht gemerkt"_s);
    }
    return false;
}

} // namespace app
