#include "app/SchemaDlg.h"

#include "app/AboutDlg.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include <new>

namespace {

// The five texts bound to fields, in the order of the data exchange.
struct BoundText {
    int id;
    QString CSchemaDlg::*member;
};
constexpr BoundText kBoundTexts[] = {
    {1017, &CSchemaDlg::m_port},
    {1013, &CSchemaDlg::m_user},
    {1014, &CSchemaDlg::m_password},
    {1022, &CSchemaDlg::m_tableDesc},
    {1024, &CSchemaDlg::m_columnDesc},
};

} // namespace

CSchemaDlg::CSchemaDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_hIcon(QStringLiteral(":/icons/velmora.png")),
      m_makeConnection([] { return COdbcConnection::Create(); }),
      m_makeRecordset([] { return std::unique_ptr<COdbcRecordset>(new (std::nothrow) COdbcRecordset); })
{
    CreateControls();

    // Every key passes the key filter before the control it is meant for.
    qApp->installEventFilter(this);
    WireServerChoice();

    auto button = [this](int id) { return qobject_cast<QPushButton*>(Control(id)); };
    connect(button(1006), &QPushButton::clicked, this, &CSchemaDlg::OnExit);
    connect(button(1015), &QPushButton::clicked, this, &CSchemaDlg::OnConnect);
    connect(button(1021), &QPushButton::clicked, this, &CSchemaDlg::OnUpdateTableDescription);
    connect(button(1020), &QPushButton::clicked, this, &CSchemaDlg::OnUpdateColumnDescription);
    connect(button(1030), &QPushButton::clicked, this, &CSchemaDlg::OnExport);
    WireLists();
    connect(qobject_cast<QLineEdit*>(Control(1022)), &QLineEdit::textEdited, this, &CSchemaDlg::OnTableDescChange);
    connect(qobject_cast<QLineEdit*>(Control(1024)), &QLineEdit::textEdited, this, &CSchemaDlg::OnColumnDescChange);

    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &CSchemaDlg::ShowAbout);
}

CSchemaDlg::~CSchemaDlg()
{
    // The filter reaches into members; stop it before they go. Hiding here,
    // not in the base destructor, lets the focus leave the controls while
    // the handlers it triggers still have a whole window.
    WaitForWorker();
    {
        const std::lock_guard lock(m_workerEndMutex);
        m_workerQuit = true;
    }
    m_jobPosted.notify_one();
    if (m_worker.joinable())
        m_worker.join();
    qApp->removeEventFilter(this);
    hide();
}

void CSchemaDlg::SetStartupFactories(ConnectionFactory connection, RecordsetFactory recordset)
{
    m_makeConnection = std::move(connection);
    m_makeRecordset = std::move(recordset);
}

QWidget* CSchemaDlg::Control(int id) const
{
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void CSchemaDlg::SetLabelText(int id, const QString& text) const
{
    if (auto* label = qobject_cast<QLabel*>(Control(id)))
        label->setText(text);
}

void CSchemaDlg::setVisible(bool visible)
{
    // Prepared once, before the window first appears, as a dialog is.
    if (visible && !m_initDone) {
        m_initDone = true;
        if (OnInitDialog())
            m_serverCombo->setFocus();
    }
    QDialog::setVisible(visible);
}

bool CSchemaDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (HoldsInput(watched, event))
        return true;
    if (PreTranslateMessage(watched, event))
        return true;
    return QDialog::eventFilter(watched, event);
}

// Only Exit closes the window.
void CSchemaDlg::closeEvent(QCloseEvent* event)
{
    if (m_exitRequested)
        event->accept();
    else
        event->ignore();
}

void CSchemaDlg::reject() {}

void CSchemaDlg::OnExit()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_workerRunning) {
        m_mysql.Cancel();
        if (m_connection)
            m_connection->Cancel();
    }
    // Events go on meanwhile: the worker's last window changes need them.
    WaitForWorker(kExitWaitMs);
    m_exitRequested = true;
    DestroyWindow();
    done(QDialog::Rejected);
}

bool CSchemaDlg::DestroyWindow()
{
    // A worker left behind still owns the connection.
    if (m_connection && m_connection->State() != 0 && !m_workerRunning)
        m_connection->Close();
    return true;
}

void CSchemaDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CSchemaDlg::LoadFields()
{
    for (const BoundText& bound : kBoundTexts)
        this->*bound.member = qobject_cast<QLineEdit*>(Control(bound.id))->text();
}

void CSchemaDlg::StoreFields()
{
    // setText resets the cursor and selection and signals a change, so a
    // field already showing the text is left alone.
    for (const BoundText& bound : kBoundTexts) {
        auto* field = qobject_cast<QLineEdit*>(Control(bound.id));
        if (field->text() != this->*bound.member)
            field->setText(this->*bound.member);
    }
}

void CSchemaDlg::OnTableDescChange()
{
    Control(1021)->setEnabled(true);
}

void CSchemaDlg::OnColumnDescChange()
{
    Control(1020)->setEnabled(true);
}
