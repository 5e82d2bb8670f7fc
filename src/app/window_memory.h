#pragma once

#include <QList>
#include <QMap>
#include <QRect>
#include <QString>

class QMainWindow;

namespace ado {
class DataGrid;
}

namespace app {

// What the main window keeps of itself from one run to the next, per user, beside the login settings.
struct WindowMemory
{
    QRect geometry; // the normal (not maximised) geometry; null: none kept
    bool maximized = false;
    QMap<QString, int> columnWidths; // by field name, so a changed query keeps the others
    QString sortField;               // empty: the query's order
    bool sortDescending = false;

    friend bool operator==(const WindowMemory&, const WindowMemory&) = default;
};

// What the store holds; a value that cannot be read as such is left out, as is everything when the store
// cannot be read.
WindowMemory readWindowMemory();
// Raises the store's error when it cannot be written; nothing is saved then.
void saveWindowMemory(const WindowMemory& memory);

// The rectangle moved and, if need be, shrunk into the screen it overlaps most (the first one when it
// overlaps none), so a window kept on a screen that is gone opens where it can be seen.
QRect fitIntoScreens(const QRect& wanted, const QList<QRect>& screens);

WindowMemory windowMemoryOf(const QMainWindow& window, const ado::DataGrid& grid);
// Sorts the grid's recordset first (which fits the columns afresh), then sets the widths; before the window
// is shown.
void applyWindowMemory(const WindowMemory& memory, QMainWindow& window, ado::DataGrid& grid);

// The two hooks of the main window: at start after the list is read, and when the program ends. Neither
// stops the program: a store that cannot be read restores nothing, one that cannot be written is logged.
void restoreWindow(QMainWindow& window, ado::DataGrid& grid);
bool rememberWindow(const QMainWindow& window, const ado::DataGrid& grid) noexcept;

} // namespace app
