#pragma once

#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_data_grid.h"
#include "platform/ado/ado_recordset.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace app {

// The main window and the program's start: logs the user in, lists today's bonus articles and
// shows the stock of the clicked one.
class FMStart final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FMStart)

public:
    // commandLine: the program's arguments after its name, as one text.
    explicit FMStart(QString commandLine);
    ~FMStart() override;

    // The start-up sequence; an error in it is the caller's to report (the program then ends).
    void Form_Load();
    // The shutdown: never returns.
    [[noreturn]] void Form_Unload();

    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdRefresh_Click();
    [[noreturn]] void cmdClose_Click();
    void grdDataGrid_Click();
    void Form_Resize();
    // True when the key was one of the window's own.
    bool Form_KeyDown(int key, int shift);

    void mLogin_Click();
    void mSuchen_Click();
    // F3: the find dialog's search again, or the dialog itself while there is no search text.
    void Weitersuchen_Click();
    void mLagerstandMitfuehren_Click();
    [[noreturn]] void Beenden_Click();
    void HilfeUeber_Click();
    void mProgrammverlauf_Click();

    ado::Recordset& adoPrimaryRS() { return m_recordset; }
    ado::DataGrid& grdDataGrid() { return *m_grid; }
    QAction& mLagerstandMitfuehren() { return *m_followStock; }

    // Makes the next article with the text in its number or names the current record, from the one after
    // the current record on and wrapping round once; false (nothing moved) when there is none.
    bool FindArticle(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildControls();
    void dockControls();
    void adoPrimaryRS_MoveComplete();
    void StockLookup();
    void followStock_Timer();
    void keepRowClearOf(QWidget& dialog);
    void keepUsableAndOnScreen();
    void unload();
    void logArticles(const QString& what, qint64 milliseconds);

    QString m_commandLine;
    ado::Recordset m_recordset;
    ado::DataGrid* m_grid;
    QFrame* m_buttons;
    QPushButton* m_refresh;
    QPushButton* m_close;
    QLineEdit* m_stock;
    QLineEdit* m_today;
    QFrame* m_statBox;
    QPushButton* m_first;
    QPushButton* m_previous;
    QLabel* m_status;
    QPushButton* m_next;
    QPushButton* m_last;
    QAction* m_followStock;
    // Runs the stock lookup once the current record has stayed put after a move.
    QTimer m_followTimer;
    bool m_unloading = false;
    // The stock boxes hold the figures of the current record's lookup, not their design-time texts.
    bool m_figuresShown = false;
};

} // namespace app
