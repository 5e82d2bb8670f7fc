#pragma once

#include <QString>
#include <QWidget>

class QCloseEvent;
class QTreeWidget;

// The program log: one entry per row, newest on top, at most MaxRows rows, each with the time it came.
// Long texts wrap instead of being cut; Ctrl+C copies the selected rows as tab-separated text. One
// window per process; the user's close only hides it, so the log lasts as long as the program.
class frmProgrammverlauf final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmProgrammverlauf)

public:
    static constexpr int MaxRows = 100;
    // The list's columns: the time of the entry, then the three of StatusText.
    enum Column
    {
        TimeColumn,
        PartColumn,
        TextColumn,
        ParameterColumn,
        ColumnCount
    };

    // Made (hidden) by dialogs::windows on first use.
    frmProgrammverlauf();

    // Adds an entry as the top row; the window may be hidden. A ";" inside an argument moves the rest of
    // the entry one column on.
    void StatusText(const QString& Programmteil, const QString& Text, const QString& Parameter);

    // Shows the window modeless, kept above its owner's window (null: no owner).
    void showOwnedBy(QWidget* owner);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void copySelectedRows();

    QTreeWidget* m_verlauf;
};
