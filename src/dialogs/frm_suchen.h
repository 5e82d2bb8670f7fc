#pragma once

#include "dialogs/form_support.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

// The find dialog: a search text, "Weitersuchen" and "Schließen". Modeless and owned by the main window;
// Esc and "Schließen" only hide it, so the text is still there for the next search (and for F3 in the
// main window). One instance per process (dialogs::windows).
class frmSuchen final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmSuchen)

public:
    // Moves to the next record with the text; false when there is none.
    using Finder = std::function<bool(const QString& text)>;

    frmSuchen();

    void setFinder(Finder finder) { m_finder = std::move(finder); }

    // Shows the dialog modeless, kept above its owner's window, with the search text selected.
    void showOwnedBy(QWidget* owner);

    QLineEdit& txtSuchen() { return dialogs::placed<QLineEdit>(*this, u"txtSuchen"); }
    QLabel& lblMeldung() { return dialogs::placed<QLabel>(*this, u"lblMeldung"); }
    QPushButton& cmdWeitersuchen() { return dialogs::placed<QPushButton>(*this, u"cmdWeitersuchen"); }
    QPushButton& cmdSchliessen() { return dialogs::placed<QPushButton>(*this, u"cmdSchließen"); }

    // Searches for the box's text; nothing found beeps and says so in the dialog.
    void cmdWeitersuchen_Click();

    void reject() override;

private:
    Finder m_finder;
};
