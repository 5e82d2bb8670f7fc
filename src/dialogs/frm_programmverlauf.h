#pragma once

#include <QString>
#include <QWidget>

class QCloseEvent;
class QTreeWidget;

// The program log: one entry per row, newest on top, at most MaxRows rows. One window per process; the
// user's close only hides it, so the log lasts as long as the program.
class frmProgrammverlauf final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmProgrammverlauf)

public:
    static constexpr int MaxRows = 100;

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
    QTreeWidget* m_verlauf;
};
