#include "app/fm_start.h"

#include "app/article_query.h"
#include "app/fm_start_layout.h"
#include "app/key_table.h"
#include "app/list_export.h"
#include "app/stock_lookup.h"
#include "app/window_memory.h"
#include "dialogs/fm_pass.h"
#include "dialogs/form_support.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_programmverlauf.h"
#include "dialogs/frm_suchen.h"
#include "dialogs/pictures.h"
#include "dialogs/program_windows.h"
#include "platform/forms/beep.h"
#include "platform/forms/blocking_wait.h"
#include "platform/forms/connect_handler.h"
#include "platform/forms/error.h"
#include "platform/forms/error_handling.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/program_log.h"
#include "platform/forms/twips.h"
#include "platform/objfactory/server_error.h"
#include "session/check_login.h"
#include "session/connect_server.h"
#include "session/server_access.h"
#include "session/session_settings.h"
#include "session/settings_store.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScreen>
#include <QTableView>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace app {

Q_LOGGING_CATEGORY(lcArticles, "plenvaro.articles", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStock, "plenvaro.stock", QtInfoMsg)

namespace {

constexpr int PanelHeight = 300; // twips, both bottom panels
constexpr int FollowStockDelayMs = 250;
constexpr int MinimumGridHeight = 1200; // twips: the headings and a few rows
constexpr int FrameAllowance = 32;      // pixels

// The program's own settings, beside (not among) the login settings.
const QString SettingsSection = u"Plenvaro"_s;
const QString FollowStockKey = u"LagerstandMitfuehren"_s;

// The fields the find dialog searches.
const QStringList SearchFields{u"num_artikel"_s, u"nam_artikel"_s, u"nam_artikel_2"_s, u"nam_artikel_lang"_s};

} // namespace

FMStart::FMStart(QString commandLine) : m_commandLine(std::move(commandLine))
{
    setObjectName(u"FMStart"_s);
    setWindowTitle(u"VELDOR"_s);
    setWindowIcon(pictures::programIcon());
    buildMenu();
    buildControls();
    resize(forms::twipsToPixelsX(9420), forms::twipsToPixelsY(6180) + menuBar()->sizeHint().height());
    keepUsableAndOnScreen();
    qApp->installEventFilter(this);
    forms::connectHandler(&m_recordset, &ado::Recordset::moveComplete, this,
                          &FMStart::adoPrimaryRS_MoveComplete);
    m_followTimer.setObjectName(u"followStock"_s);
    m_followTimer.setSingleShot(true);
    m_followTimer.setInterval(FollowStockDelayMs);
    forms::connectHandler(&m_followTimer, &QTimer::timeout, this, &FMStart::followStock_Timer);
    forms::registerWindow(this, [this] { unload(); });
}

FMStart::~FMStart()
{
    qApp->removeEventFilter(this);
}

// Small enough for the screen it opens on, never so small that the grid, the buttons or the stock boxes
// are cut off.
void FMStart::keepUsableAndOnScreen()
{
    int right = 0;
    for (const QWidget* control : m_buttons->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        right = std::max(right, control->geometry().right() + 1);
    const int rows = forms::twipsToPixelsY(MinimumGridHeight + 2 * PanelHeight + 30);
    setMinimumSize(right + forms::twipsToPixelsX(60), rows + menuBar()->sizeHint().height());
    const QScreen* where = screen();
    if (where == nullptr)
        return;
    // The frame is not known before the window is shown; leave room for a usual one.
    const QSize room = where->availableGeometry().size() - QSize(FrameAllowance, 2 * FrameAllowance);
    resize(size().boundedTo(room).expandedTo(minimumSize()));
}

void FMStart::buildMenu()
{
    QMenu* datei = menuBar()->addMenu(u"&Datei"_s);
    datei->setObjectName(u"Datei"_s);
    QAction* login = datei->addAction(u"&Login"_s);
    login->setObjectName(u"mLogin"_s);
    QAction* suchen = datei->addAction(u"&Suchen..."_s);
    suchen->setObjectName(u"mSuchen"_s);
    suchen->setShortcut(QKeySequence::Find);
    QAction* exportieren = datei->addAction(u"Liste &exportieren..."_s);
    exportieren->setObjectName(u"mListeExportieren"_s);
    m_followStock = datei->addAction(u"Lagerstand &mitführen"_s);
    m_followStock->setObjectName(u"mLagerstandMitfuehren"_s);
    m_followStock->setCheckable(true);
    datei->addSeparator()->setObjectName(u"nil"_s);
    QAction* beenden = datei->addAction(u"&Beenden"_s);
    beenden->setObjectName(u"Beenden"_s);
    QMenu* hilfe = menuBar()->addMenu(u"&Hilfe"_s);
    hilfe->setObjectName(u"Hilfe"_s);
    QAction* about = hilfe->addAction(u"Hilfe &über ..."_s);
    about->setObjectName(u"HilfeUeber"_s);
    about->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* log = hilfe->addAction(u"Programmverlauf"_s);
    log->setObjectName(u"mProgrammverlauf"_s);
    log->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F1));

    // Not in the menu: searching on is the dialog's business, the key a shortcut to it.
    auto* weitersuchen = new QAction(this);
    weitersuchen->setObjectName(u"mWeitersuchen"_s);
    weitersuchen->setShortcut(QKeySequence(Qt::Key_F3));
    addAction(weitersuchen);

    forms::connectHandler(login, &QAction::triggered, this, &FMStart::mLogin_Click);
    forms::connectHandler(suchen, &QAction::triggered, this, &FMStart::mSuchen_Click);
    forms::connectHandler(exportieren, &QAction::triggered, this,
                          [](FMStart* self) { askAndExportList(self, self->m_recordset); });
    forms::connectHandler(weitersuchen, &QAction::triggered, this, &FMStart::Weitersuchen_Click);
    forms::connectHandler(m_followStock, &QAction::triggered, this, &FMStart::mLagerstandMitfuehren_Click);
    forms::connectHandler(beenden, &QAction::triggered, this, &FMStart::Beenden_Click);
    forms::connectHandler(about, &QAction::triggered, this, &FMStart::HilfeUeber_Click);
    forms::connectHandler(log, &QAction::triggered, this, &FMStart::mProgrammverlauf_Click);
}

void FMStart::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(u"client"_s);
    setCentralWidget(client);

    layOutFMStart(*client);
    m_grid = client->findChild<ado::DataGrid*>(u"grdDataGrid"_s);
    m_buttons = client->findChild<QFrame*>(u"picButtons"_s);
    m_refresh = m_buttons->findChild<QPushButton*>(u"cmdRefresh"_s);
    m_close = m_buttons->findChild<QPushButton*>(u"cmdClose"_s);
    m_stock = m_buttons->findChild<QLineEdit*>(u"txt_Lagerstand"_s);
    m_today = m_buttons->findChild<QLineEdit*>(u"txt_LagerHeute"_s);
    m_statBox = client->findChild<QFrame*>(u"picStatBox"_s);
    m_first = m_statBox->findChild<QPushButton*>(u"cmdFirst"_s);
    m_previous = m_statBox->findChild<QPushButton*>(u"cmdPrevious"_s);
    m_status = m_statBox->findChild<QLabel*>(u"lblStatus"_s);
    m_next = m_statBox->findChild<QPushButton*>(u"cmdNext"_s);
    m_last = m_statBox->findChild<QPushButton*>(u"cmdLast"_s);

    forms::connectHandler(m_first, &QPushButton::clicked, this, &FMStart::cmdFirst_Click);
    forms::connectHandler(m_previous, &QPushButton::clicked, this, &FMStart::cmdPrevious_Click);
    forms::connectHandler(m_next, &QPushButton::clicked, this, &FMStart::cmdNext_Click);
    forms::connectHandler(m_last, &QPushButton::clicked, this, &FMStart::cmdLast_Click);
    forms::connectHandler(m_refresh, &QPushButton::clicked, this, &FMStart::cmdRefresh_Click);
    forms::connectHandler(m_close, &QPushButton::clicked, this, &FMStart::cmdClose_Click);
    forms::connectHandler(m_grid, &ado::DataGrid::clicked, this, &FMStart::grdDataGrid_Click);
}

void FMStart::Form_Load()
{
    session::SessionSettings& s = session::Session();
    do {
        s.CommandLine = m_commandLine;
        s.LoginServerError = false;
    } while (!session::CheckLogin());

    setWindowTitle(u"VELDOR Muster              Firma: "_s + s.CompanyNo + u"     Filiale: "_s + s.BranchNo +
                   u"     Benutzer: "_s + s.UserIdent);
    QElapsedTimer reading;
    reading.start();
    auto connection = std::make_shared<ado::Connection>();
    connection->setCommandTimeout(ArticleReadTimeoutSeconds);
    connection->setStepRunner(forms::awaitStep, u"Lese Artikelliste ..."_s);
    ReadingArticles([&] {
        connection->open(QString::fromLatin1(ArticleConnectionString), QString(), QString());
        m_recordset.open(ArticleQuery(), connection);
    });
    m_grid->setDataSource(&m_recordset);
    logArticles(u"Artikelliste geöffnet"_s, reading.elapsed());
    m_followStock->setChecked(session::GetSetting(QString::fromLatin1(session::SettingsApplication),
                                                  SettingsSection, FollowStockKey) == u"1"_s);
    restoreWindow(*this, *m_grid);
}

void FMStart::logArticles(const QString& what, qint64 milliseconds)
{
    forms::logEntry(lcArticles(), what,
                    u"%1 Artikel in %2 ms"_s.arg(m_recordset.recordCount()).arg(milliseconds));
}

void FMStart::Form_Unload()
{
    m_unloading = true;
    forms::setMousePointer(forms::Pointer::Default);
    if (m_recordset.isOpen())
        rememberWindow(*this, *m_grid); // a store that cannot be written does not keep the program
    session::DisconnectServer();
    session::ShutdownProgram();
}

// Unloaded by the program's shutdown when that did not start here (the login was cancelled).
void FMStart::unload()
{
    if (!m_unloading) {
        m_unloading = true;
        forms::setMousePointer(forms::Pointer::Default);
        if (m_recordset.isOpen())
            rememberWindow(*this, *m_grid);
        session::DisconnectServer();
    }
    hide();
}

void FMStart::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (!m_unloading)
        forms::runUnhandled([this] { Form_Unload(); });
}

void FMStart::adoPrimaryRS_MoveComplete()
{
    m_status->setText(u"Record: "_s + QString::number(m_recordset.absolutePosition()));
    // Figures shown beside another article than the one they belong to would be wrong ones.
    if (std::exchange(m_figuresShown, false)) {
        m_stock->clear();
        m_today->clear();
    }
    // Restarted by every move, so moving on quickly asks the server nothing until the record stays.
    if (m_followStock->isChecked())
        m_followTimer.start();
}

void FMStart::followStock_Timer()
{
    StockLookup();
}

void FMStart::cmdFirst_Click()
{
    forms::runReported([this] { m_recordset.moveFirst(); });
}

void FMStart::cmdLast_Click()
{
    forms::runReported([this] { m_recordset.moveLast(); });
}

void FMStart::cmdNext_Click()
{
    forms::runReported([this] {
        if (!m_recordset.eof())
            m_recordset.moveNext();
        if (m_recordset.eof() && m_recordset.recordCount() > 0) {
            forms::beep();
            m_recordset.moveLast();
        }
    });
}

void FMStart::cmdPrevious_Click()
{
    forms::runReported([this] {
        if (!m_recordset.bof())
            m_recordset.movePrevious();
        if (m_recordset.bof() && m_recordset.recordCount() > 0) {
            forms::beep();
            m_recordset.moveFirst();
        }
    });
}

void FMStart::cmdRefresh_Click()
{
    forms::runReported([this] {
        QElapsedTimer reading;
        reading.start();
        m_grid->setDataSource(nullptr);
        {
            // A failed read keeps the rows read before, and the list keeps showing them.
            const auto showAgain = qScopeGuard([this] { m_grid->setDataSource(&m_recordset); });
            ReadingArticles([this] { m_recordset.requery(); });
        }
        m_followTimer.stop(); // a fresh list is no move of the user's
        logArticles(u"Artikelliste neu gelesen"_s, reading.elapsed());
    });
}

void FMStart::cmdClose_Click()
{
    Form_Unload();
}

void FMStart::grdDataGrid_Click()
{
    StockLookup();
}

void FMStart::StockLookup()
{
    m_followTimer.stop();
    m_stock->clear();
    m_today->clear();
    if (m_grid->selectedText().isEmpty())
        return;
    session::BeginServerAccess(false);
    session::SessionSettings& s = session::Session();
    const QString article = ArticleKey(m_grid->selectedText());
    objfactory::ServerObject stock;
    objfactory::ServerObject windows;
    QString line;
    QString stockError;
    QString todayError;
    forms::ignoreErrors(
        [&] {
            stock = s.Connection->OpenId(u"VD.ArtLagerFilInfo"_s,
                                         StockObjectId(s.CompanyNo, article, s.BranchNo));
        },
        &stockError);
    forms::ignoreErrors([&] { m_stock->setText(session::ValueText(stock.property(u"LAGST"_s))); },
                        stockError.isEmpty() ? &stockError : nullptr);
    forms::ignoreErrors([&] { session::CloseServerObject(stock); });
    forms::ignoreErrors([&] { windows = s.Connection->ClassObject(u"VD.Windows"_s); });
    forms::ignoreErrors([&] {
        line = TodayStockLine(s.CompanyNo, ArticleKey(m_grid->selectedText()), QDate::currentDate());
    });
    forms::ignoreErrors([&] { m_today->setText(session::ValueText(windows.call(u"Xecute"_s, line))); },
                        &todayError);
    forms::ignoreErrors([&] { session::CloseServerObject(windows); });
    session::EndServerAccess(false);
    m_figuresShown = true;
    // The lookup itself stays silent; the log says what it found.
    const auto figure = [](const QLineEdit* box, const QString& error) {
        return error.isEmpty() ? box->text() : u"(%1)"_s.arg(error);
    };
    forms::logEntry(lcStock(), u"Lagerstand abgefragt"_s,
                    u"Artikel %1: Lagerstand %2, heute %3"_s.arg(article, figure(m_stock, stockError),
                                                                 figure(m_today, todayError)));
}

void FMStart::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    dockControls();
    Form_Resize();
}

// What docking did for the controls: the grid along the top, the panels along the bottom.
void FMStart::dockControls()
{
    const QWidget* client = centralWidget();
    const int width = client->width();
    const int panel = forms::twipsToPixelsY(PanelHeight);
    m_grid->setGeometry(0, 0, width, m_grid->height());
    m_statBox->setGeometry(0, client->height() - panel, width, panel);
    m_buttons->setGeometry(0, client->height() - 2 * panel, width, panel);
}

void FMStart::Form_Resize()
{
    const float clientHeight = static_cast<float>(forms::pixelsToTwipsY(centralWidget()->height()));
    const float outerWidth = static_cast<float>(forms::pixelsToTwipsX(frameGeometry().width()));
    const auto height = [](QWidget* w) { return static_cast<float>(forms::pixelsToTwipsY(w->height())); };
    const auto width = [](QWidget* w) { return static_cast<float>(forms::pixelsToTwipsX(w->width())); };
    const auto px = [](float twips, bool vertical) {
        return vertical ? forms::twipsToPixelsY(static_cast<int>(twips))
                        : forms::twipsToPixelsX(static_cast<int>(twips));
    };
    forms::ignoreErrors([&] {
        const float gridHeight = clientHeight - 30 - height(m_buttons) - height(m_statBox);
        if (gridHeight < 0)
            throw forms::Error(380, u"Ungültiger Eigenschaftswert"_s);
        m_grid->resize(m_grid->width(), px(gridHeight, true));
    });
    forms::ignoreErrors([&] {
        const float statusWidth = outerWidth - 1500;
        if (statusWidth < 0)
            throw forms::Error(380, u"Ungültiger Eigenschaftswert"_s);
        m_status->resize(px(statusWidth, false), m_status->height());
    });
    forms::ignoreErrors([&] { m_next->move(px(width(m_status) + 700, false), m_next->y()); });
    forms::ignoreErrors([&] {
        m_last->move(px(static_cast<float>(forms::pixelsToTwipsX(m_next->x())) + 340, false), m_last->y());
    });
}

bool FMStart::Form_KeyDown(int key, int shift)
{
    switch (keyAction(key, shift)) {
    case KeyAction::None:
        return false;
    case KeyAction::Close:
        cmdClose_Click(); // ends the program: does not return
    case KeyAction::First:
        cmdFirst_Click();
        break;
    case KeyAction::Previous:
        cmdPrevious_Click();
        break;
    case KeyAction::Next:
        cmdNext_Click();
        break;
    case KeyAction::Last:
        cmdLast_Click();
        break;
    }
    return true;
}

bool FMStart::eventFilter(QObject* watched, QEvent* event)
{
    // The window sees its keys ahead of its controls (the grid always has the focus otherwise), and
    // a key it acted on goes no further, so the grid does not move a second time.
    // Keys for the menu bar in keyboard mode (it has the focus then) are the menu's, not the list's.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && !qobject_cast<QMenuBar*>(watched)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        bool handled = false;
        forms::runUnhandled([&] { handled = Form_KeyDown(key->key(), shiftState(key->modifiers())); });
        return handled;
    }
    return QMainWindow::eventFilter(watched, event);
}

void FMStart::mLogin_Click()
{
    dialogs::windows::fmPass().showOwnedBy(this);
}

void FMStart::mSuchen_Click()
{
    frmSuchen& dialog = dialogs::windows::suchen();
    dialog.setFinder([this, &dialog](const QString& text) {
        const bool found = FindArticle(text);
        if (found)
            keepRowClearOf(dialog);
        return found;
    });
    dialog.showOwnedBy(this);
}

void FMStart::Weitersuchen_Click()
{
    frmSuchen* dialog = dialogs::windows::existingSuchen();
    if (dialog != nullptr && !dialog->txtSuchen().text().trimmed().isEmpty())
        dialog->cmdWeitersuchen_Click();
    else
        mSuchen_Click();
}

bool FMStart::FindArticle(const QString& text)
{
    if (!m_recordset.isOpen() || m_recordset.recordCount() == 0)
        return false;
    QList<int> fields;
    for (const QString& name : SearchFields) {
        const int field = m_recordset.fieldIndex(name);
        if (field >= 0 && m_recordset.fieldType(field) == ado::FieldType::Text)
            fields.append(field);
    }
    if (fields.isEmpty())
        return false;
    const qsizetype position = m_recordset.absolutePosition();
    const qsizetype row = m_recordset.findText(text, fields, position >= 1 ? position - 1 : -1);
    if (row < 0)
        return false;
    m_recordset.setAbsolutePosition(row + 1);
    return true;
}

// The find dialog moves off the row it has just found, below it or else above it.
void FMStart::keepRowClearOf(QWidget& dialog)
{
    QTableView* view = m_grid->view();
    const QModelIndex current = view->currentIndex();
    if (!dialog.isVisible() || !current.isValid())
        return;
    view->scrollTo(current);
    const QRect cell = view->visualRect(current);
    const QRect row(view->viewport()->mapToGlobal(QPoint(0, cell.top())),
                    QSize(view->viewport()->width(), cell.height()));
    const QRect frame = dialog.frameGeometry();
    if (!frame.intersects(row))
        return;
    const QRect area = dialog.screen() != nullptr ? dialog.screen()->availableGeometry() : QRect();
    const bool fitsBelow = !area.isValid() || row.bottom() + frame.height() < area.bottom();
    dialog.move(frame.left(), fitsBelow ? row.bottom() + 1 : row.top() - frame.height());
}

void FMStart::mLagerstandMitfuehren_Click()
{
    const bool on = m_followStock->isChecked();
    const bool saved = forms::runReported(
        [on] {
            session::SaveSetting(QString::fromLatin1(session::SettingsApplication), SettingsSection,
                                 FollowStockKey, on ? u"1"_s : u"0"_s);
        },
        forms::Icon::Exclamation);
    // Unsaved, the entry shows what the store still says.
    if (!saved)
        m_followStock->setChecked(!on);
    if (!m_followStock->isChecked())
        m_followTimer.stop();
}

void FMStart::Beenden_Click()
{
    Form_Unload();
}

void FMStart::HilfeUeber_Click()
{
    dialogs::windows::about().showOwnedBy(this);
}

void FMStart::mProgrammverlauf_Click()
{
    dialogs::windows::programmverlauf().showOwnedBy(this);
}

} // namespace app
