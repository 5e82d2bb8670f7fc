#include "app/fm_start_layout.h"

#include "dialogs/pictures.h"
#include "platform/ado/ado_data_grid.h"
#include "platform/ado/ado_recordset.h"
#include "platform/forms/design_font.h"
#include "platform/forms/twips.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace app {
namespace {

enum class Kind
{
    Grid,          // the article list, in the design font
    Panel,         // a borderless flat strip that holds controls
    Button,        // a push button with a caption
    PictureButton, // a push button with a 16 x 16 picture and no text
    Label,         // a caption
    StatusLabel,   // a caption on white, with a single border
    ReadOnlyBox,   // a disabled text box: read, never typed into
};

struct Control
{
    QStringView name;
    Kind kind;
    QStringView container; // empty: the window's client area
    QStringView text;
    int left, top, width, height;
    int tabIndex;
    QIcon (*picture)() = nullptr;
    QStringView tip = {}; // tooltip and accessible name of a button without text
};

QWidget* make(const Control& row, QWidget* parent)
{
    switch (row.kind) {
    case Kind::Grid: {
        auto* grid = new ado::DataGrid(parent);
        grid->setFont(forms::designFont());
        // A click into any column of a row looks up that row's article.
        grid->setSelectedTextField(u"num_artikel"_s);
        return grid;
    }
    case Kind::Panel:
        return new QFrame(parent);
    case Kind::Button:
    case Kind::PictureButton: {
        auto* button = new QPushButton(row.text.toString(), parent);
        button->setAutoDefault(true); // Enter presses the focused button, as Space does
        if (row.picture) {
            button->setIcon(row.picture());
            button->setIconSize(QSize(16, 16));
        }
        if (!row.tip.isEmpty()) {
            button->setToolTip(row.tip.toString());
            button->setAccessibleName(row.tip.toString());
        }
        return button;
    }
    case Kind::Label:
        return new QLabel(row.text.toString(), parent);
    case Kind::StatusLabel: {
        auto* label = new QLabel(row.text.toString(), parent);
        label->setAutoFillBackground(true);
        QPalette white = label->palette();
        white.setColor(QPalette::Window, Qt::white);
        label->setPalette(white);
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        return label;
    }
    case Kind::ReadOnlyBox: {
        auto* box = new QLineEdit(row.text.toString(), parent);
        box->setEnabled(false);
        // The figures the user opened the program for: as readable as any other text, not greyed out.
        QPalette palette = box->palette();
        palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
        palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Active, QPalette::Base));
        box->setPalette(palette);
        return box;
    }
    }
    return nullptr;
}

} // namespace

void layOutFMStart(QWidget& client)
{
    // clang-format off
    static const Control Controls[] = {
        // name               kind                container      text            left  top   width height tab picture             tip
        {u"grdDataGrid",    Kind::Grid,          {},            {},             0,    0,    9420,  3495,  0},
        {u"picButtons",     Kind::Panel,         {},            {},             0,    5580, 9420,  300,   1},
        {u"cmdRefresh",     Kind::Button,        u"picButtons", u"&Neu lesen",  1213, 0,    1095,  300,   3},
        {u"cmdClose",       Kind::Button,        u"picButtons", u"S&chließen",  3521, 0,    1095,  300,   2},
        {u"Label1",         Kind::Label,         u"picButtons", u"Lagerstand:", 4920, 0,    1095,  255,   12},
        {u"txt_Lagerstand", Kind::ReadOnlyBox,   u"picButtons", u"Text1",       5880, 0,    1455,  285,   10},
        {u"Label2",         Kind::Label,         u"picButtons", u"heute",       8040, 0,    615,   255,   13},
        {u"txt_LagerHeute", Kind::ReadOnlyBox,   u"picButtons", u"Text2",       8640, 0,    615,   285,   11},
        {u"picStatBox",     Kind::Panel,         {},            {},             0,    5880, 9420,  300,   4},
        {u"cmdFirst",       Kind::PictureButton, u"picStatBox", {},             0,    0,    345,   300,   8,  pictures::navFirst,    u"Erster Datensatz"},
        {u"cmdPrevious",    Kind::PictureButton, u"picStatBox", {},             345,  0,    345,   300,   7,  pictures::navPrevious, u"Vorheriger Datensatz"},
        {u"lblStatus",      Kind::StatusLabel,   u"picStatBox", {},             690,  0,    3360,  285,   9},
        {u"cmdNext",        Kind::PictureButton, u"picStatBox", {},             4200, 0,    345,   300,   6,  pictures::navNext,     u"Nächster Datensatz"},
        {u"cmdLast",        Kind::PictureButton, u"picStatBox", {},             4545, 0,    345,   300,   5,  pictures::navLast,     u"Letzter Datensatz"},
    };
    // clang-format on
    QMap<int, QWidget*> byTabIndex;
    for (const Control& row : Controls) {
        QWidget* parent = row.container.isEmpty() ? &client
                                                  : client.findChild<QWidget*>(row.container.toString(),
                                                                               Qt::FindDirectChildrenOnly);
        QWidget* control = make(row, parent);
        control->setObjectName(row.name.toString());
        control->setGeometry(forms::twipsRect(row.left, row.top, row.width, row.height));
        byTabIndex.insert(row.tabIndex, control);
    }
    const QList<QWidget*> order = byTabIndex.values();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    order.first()->setFocus(); // the grid
}

} // namespace app
