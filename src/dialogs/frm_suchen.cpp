#include "dialogs/frm_suchen.h"

#include "dialogs/pictures.h"
#include "platform/forms/beep.h"
#include "platform/forms/connect_handler.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/twips.h"

#include <QAction>

using namespace Qt::Literals::StringLiterals;

frmSuchen::frmSuchen() : QDialog(nullptr, Qt::Dialog | Qt::WindowCloseButtonHint)
{
    setObjectName(u"frmSuchen"_s);
    setWindowTitle(u"Suchen"_s);
    setWindowIcon(pictures::programIcon());
    resize(forms::twipsToPixelsX(4815), forms::twipsToPixelsY(1500));
    // clang-format off
    dialogs::placeControls(*this, {
        // name                 kind                                text             left  top   width height tab
        {u"lblSuchen",        dialogs::ControlKind::Label,         u"Suchen nach:",  120,  165,  1095,  255},
        {u"txtSuchen",        dialogs::ControlKind::TextBox,       {},               1200, 120,  3495,  285,   0},
        {u"lblMeldung",       dialogs::ControlKind::Label,         {},               120,  540,  4575,  255},
        {u"cmdWeitersuchen",  dialogs::ControlKind::DefaultButton, u"Weitersuchen",  1920, 960,  1335,  375,   1},
        {u"cmdSchließen",     dialogs::ControlKind::PushButton,    u"Schließen",     3360, 960,  1335,  375,   2},
    });
    // clang-format on
    txtSuchen().setAccessibleName(u"Suchen nach"_s);
    // The same key as in the main window, for searching on without leaving the dialog.
    auto* again = new QAction(this);
    again->setShortcut(QKeySequence(Qt::Key_F3));
    addAction(again);

    forms::connectHandler(&cmdWeitersuchen(), &QPushButton::clicked, this, &frmSuchen::cmdWeitersuchen_Click);
    forms::connectHandler(again, &QAction::triggered, this, &frmSuchen::cmdWeitersuchen_Click);
    forms::connectHandler(&cmdSchliessen(), &QPushButton::clicked, this, &frmSuchen::reject);
    // A new text is a new search: the last one's outcome no longer applies.
    connect(&txtSuchen(), &QLineEdit::textEdited, &lblMeldung(), &QLabel::clear);
    forms::registerWindow(this, [this] { hide(); });
}

void frmSuchen::showOwnedBy(QWidget* owner)
{
    QWidget* const ownerWindow = owner != nullptr ? owner->window() : nullptr;
    if (parentWidget() != ownerWindow) {
        setParent(ownerWindow, windowFlags()); // stays a window of its own, now kept above the owner
        dialogs::setOwner(*this, ownerWindow);
    }
    show();
    raise();
    activateWindow();
    txtSuchen().setFocus();
    txtSuchen().selectAll();
}

void frmSuchen::cmdWeitersuchen_Click()
{
    const QString text = txtSuchen().text();
    if (text.trimmed().isEmpty()) {
        lblMeldung().setText(u"Bitte einen Suchbegriff eingeben."_s);
        return;
    }
    if (m_finder && m_finder(text)) {
        lblMeldung().clear();
        return;
    }
    forms::beep();
    lblMeldung().setText(u"Kein Artikel gefunden."_s);
}

void frmSuchen::reject()
{
    // Only hidden: the text stays for the next search.
    hide();
}
