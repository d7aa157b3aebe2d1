// Opening connections and the connect worker.

#include "app/SchemaDlgWorker.h"

#include "catalog/CatalogQuery.h"
#include "catalog/CatalogRows.h"
#include "db/MySqlText.h"
#include "common/DebugTrace.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "db/SqlServerConnectionString.h"
#include "ui/NameSortedItem.h"
#include "ui/StatusLabel.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>

namespace {

// The standard text-to-integer reading: leading blanks, a sign, then digits
// up to the first other character; 0 when there is no digit.
std::uint32_t PortNumber(const QString& text)
{
    return static_cast<std::uint32_t>(std::atoi(ToMySql(text).c_str()));
}

} // namespace

int CSchemaDlg::OpenConnection(const QString& server, const QString& port, const QString& database,
                               const QString& user, const QString& password)
{
    QString failure;
    if (m_kind == 2) {
        DebugTrace(u"连接MySQL数据库...");
        m_mysql.SetConnectParams(ToMySql(server), ToMySql(user),
                                 ToMySql(password), ToMySql(database),
                                 PortNumber(port));
        if (m_mysql.Connect()) {
            DebugTrace(u"连接成功...");
            return 1;
        }
        failure = QStringLiteral("打开数据库失败...\n%1 : %2")
                      .arg(m_mysql.m_errorCode)
                      .arg(FromMySql(m_mysql.m_errorText));
    } else {
        DebugTrace(u"连接SQLServer数据库...");
        const SqlServerConnectionString connection = BuildSqlServerConnectionString(
            ChooseSqlServerDriver(InstalledOdbcDrivers()), server, port, database, user, password);
        // No connection object means an empty message, as a call through an
        // empty pointer gives.
        if (m_connection && connection.IsValid()) {
            try {
                m_connection->Open(connection.text);
                DebugTrace(u"连接成功...");
                return 1;
            } catch (const COdbcError& error) {
                failure = error.Description();
            }
        } else {
            failure = connection.error;
        }
    }
    OnWindow([&] {
        m_statusLabel->hide();
        MessageBox(failure, QStringLiteral("警告"), kMbIconExclamation);
    });
    return 0;
}

void CSchemaDlg::CloseSqlServer()
{
    if (m_connection && m_connection->State() != 0)
        m_connection->Close();
}

void CSchemaDlg::CloseConnection()
{
    m_mysql.Close();
    CloseSqlServer();
}

void CSchemaDlg::ShowWarning(const QString& text)
{
    OnWindow([&] { MessageBox(text, QStringLiteral("警告"), kMbIconExclamation); });
}

void CSchemaDlg::OnConnect()
{
    // A second press (or Enter in a field) must not start another worker on
    // the same objects.
    if (m_workerRunning)
        return;
    m_statusLabel->show();
    m_statusLabel->SetLabelText(QStringLiteral("正在连接服务器，请稍候..."));
    Control(1015)->setEnabled(false);
    LoadFields();
    m_server = m_serverCombo->currentText();
    if (m_server.isEmpty()) {
        m_statusLabel->hide();
        MessageBox(QStringLiteral("未输入服务器，或服务器选择错误。"), QStringLiteral("提示"), kMbIconInformation);
        return;
    }
    // The worker reads the members these controls write.
    EnableConnectionControls(false);
    StartWorker([this] { ConnectWorker(); });
}

void CSchemaDlg::StartWorker(std::function<void()> work)
{
    m_mysql.ResetCancel();
    if (m_connection)
        m_connection->ResetCancel();
    {
        const std::lock_guard lock(m_workerEndMutex);
        m_job = std::move(work);
        m_workerRunning = true;
    }
    if (m_worker.joinable())
        m_jobPosted.notify_one();
    else
        m_worker = std::thread([this] { WorkerLoop(); });
}

void CSchemaDlg::WorkerLoop()
{
    std::unique_lock lock(m_workerEndMutex);
    for (;;) {
        m_jobPosted.wait(lock, [this] { return m_job || m_workerQuit; });
        if (!m_job)
            return;
        const auto job = std::move(m_job);
        m_job = nullptr;
        lock.unlock();
        job();
        lock.lock();
        m_workerRunning = false;
        m_workerEnded.notify_all();
        QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection); // wakes a waiting Exit
    }
}

bool CSchemaDlg::WaitOffWindow(std::function<void()> work, const QString& waitText)
{
    m_holdingInput = true;
    StartWorker(std::move(work));
    // Only a wait long enough to be seen shows its label and turns the
    // controls off, as the connect wait has them, Exit kept on: a listing
    // that ends at once must not flash.
    QTimer label;
    label.setSingleShot(true);
    QList<QPointer<QWidget>> turnedOff;
    QPointer<QWidget> focused;
    connect(&label, &QTimer::timeout, this, [&] {
        if (!waitText.isEmpty()) {
            m_statusLabel->show();
            m_statusLabel->SetLabelText(waitText);
        }
        focused = QApplication::focusWidget();
        for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control != Control(1006) && control != m_statusLabel && control->isEnabled()) {
                control->setEnabled(false);
                turnedOff.append(control);
            }
        }
    });
    label.start(kWaitLabelDelayMs);
    // A statement that is back at once leaves the window's paints and input
    // for afterwards, when the lists hold their new rows; the window is
    // still for no longer than a frame.
    {
        std::unique_lock lock(m_workerEndMutex);
        m_workerEnded.wait_for(lock, std::chrono::milliseconds(kStillWaitMs), [this] { return !m_workerRunning; });
    }
    // The worker posts an event as it ends, so this cannot sleep past it.
    // Exit ends the wait as well: its own wait is bounded, and a worker it
    // left behind goes with the process.
    while (m_workerRunning && !m_exitRequested)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_holdingInput = false;
    if (m_closing)
        return false;
    for (const QPointer<QWidget>& control : turnedOff)
        if (control)
            control->setEnabled(true);
    if (focused)
        focused->setFocus();
    if (label.isActive())
        label.stop();
    else if (!waitText.isEmpty())
        m_statusLabel->hide();
    return true;
}

bool CSchemaDlg::HoldsInput(QObject* target, QEvent* event) const
{
    if (!m_holdingInput)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        break;
    default:
        return false;
    }
    // Input reaches the top-level window first and its widget next; only
    // the widget's turn decides. A shortcut's own object (F1) is held too.
    auto* widget = qobject_cast<QWidget*>(target);
    if (!widget)
        return event->type() == QEvent::Shortcut;
    // A message box the worker raised still takes its answer; in this
    // window only Exit does.
    return widget->window() == this && widget != Control(1006);
}

bool CSchemaDlg::WaitForWorker(int limitMs)
{
    // The worker may still need the window's thread for its last changes.
    const QDeadlineTimer deadline(limitMs);
    while (m_workerRunning && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return !m_workerRunning;
}

bool CSchemaDlg::WorkerCancelled() const
{
    return m_mysql.Cancelled() || (m_connection && m_connection->Cancelled());
}

void CSchemaDlg::ConnectWorker()
{
    DebugTrace(u"连接服务器: %s", {m_server});
    if (m_kind == 2)
        ConnectMySql();
    else
        ConnectSqlServer();
}

void CSchemaDlg::ConnectMySql()
{
    if (!OpenConnection(m_server, m_port, QString(), m_user, m_password)) {
        OnWindow([this] { EnableConnectionControls(true); });
        return;
    }
    const CatalogRows result = QueryMySqlRows(m_mysql, BuildCatalogQuery(kQueryDatabases, {}, {}, m_kind), 1);
    if (result.failed) {
        OnWindow([this] { m_statusLabel->hide(); });
        m_mysql.Close();
        OnWindow([this] { EnableConnectionControls(true); });
        ShowWarning(result.error);
        return;
    }
    m_mysql.Close();
    QStringList databases;
    for (const QStringList& row : result.rows) {
        if (row[0].compare(u"information_schema", Qt::CaseInsensitive) != 0)
            databases.append(row[0]);
    }
    FinishConnect(databases, QStringLiteral("MySQL"));
}

void CSchemaDlg::ConnectSqlServer()
{
    if (!OpenConnection(m_server, m_port, QStringLiteral("master"), m_user, m_password)) {
        OnWindow([this] { EnableConnectionControls(true); });
        return;
    }
    if (!DetectCatalogVersion()) {
        OnWindow([this] {
            m_statusLabel->hide();
            EnableConnectionControls(true);
        });
        return;
    }
    const CatalogRows result = QuerySqlServerRows(*m_recordset, *m_connection,
                                                  BuildCatalogQuery(kQueryDatabases, {}, {}, m_kind), {"name"});
    if (result.failed) {
        OnWindow([this] { m_statusLabel->hide(); });
        CloseSqlServer();
        OnWindow([this] { EnableConnectionControls(true); });
        ShowWarning(result.error);
        return;
    }
    CloseSqlServer();
    QStringList databases;
    for (const QStringList& row : result.rows)
        databases.append(row[0]);
    FinishConnect(databases, QStringLiteral("SQLServer"));
}

bool CSchemaDlg::DetectCatalogVersion()
{
    const CatalogRows probe = QuerySqlServerRows(*m_recordset, *m_connection, kCatalogProbe, {});
    if (probe.failed) {
        CloseSqlServer();
        ShowWarning(probe.error);
        return false;
    }
    m_kind = probe.rows.size() == 1 ? 0 : 1;
    return true;
}

void CSchemaDlg::FinishConnect(const QStringList& databases, const QString& kindName)
{
    OnWindow([&] {
        Control(1030)->hide();
        ShowProgress(databases.size());
        m_databaseList->setUpdatesEnabled(false);
        QList<QTreeWidgetItem*> items;
        items.reserve(databases.size());
        for (const QString& name : databases) {
            auto* item = new CNameSortedItem(QStringList{name});
            item->setIcon(0, m_imageList.value(1));
            items.append(item);
        }
        m_databaseList->addTopLevelItems(items);
        m_progress->setValue(m_progress->maximum());
        qobject_cast<QLabel*>(Control(1007))->setText(QStringLiteral("数据库: %1").arg(databases.size()));
        m_databaseList->setUpdatesEnabled(true);
    });
    m_settings.Write(m_settingsPath, m_server, QStringLiteral("Type"), kindName);
    m_settings.Write(m_settingsPath, m_server, QStringLiteral("Port"), m_port);
    m_settings.Write(m_settingsPath, m_server, QStringLiteral("User"), m_user);
    m_settings.Write(m_settingsPath, m_server, QStringLiteral("Pass"), m_codec.Encode(m_password, CPasswordCodec::kSeed),
                     true);
    AddServerToHistory();
    OnWindow([this] {
        m_statusLabel->hide();
        m_databaseList->setEnabled(true);
        m_progress->hide();
        m_serverCombo->setEnabled(true);
        Control(1030)->show();
        m_databaseList->setFocus();
    });
}

void CSchemaDlg::AddServerToHistory()
{
    const bool known = OnWindow([this] {
        for (int i = 0; i < m_serverCombo->count(); ++i) {
            if (m_serverCombo->itemText(i).compare(m_server, Qt::CaseInsensitive) == 0)
                return true;
        }
        // The whole name goes in: the box has no fixed text buffer.
        m_serverCombo->insertItem(0, m_imageList.value(0), m_server);
        return false;
    });
    if (known)
        return;
    for (int n = 1;; ++n) {
        const QString key = QStringLiteral("Server%1").arg(n);
        if (m_settings.Read(m_settingsPath, QStringLiteral("Database"), key, QString()).isEmpty()) {
            m_settings.Write(m_settingsPath, QStringLiteral("Database"), key, m_server);
            return;
        }
    }
}

void CSchemaDlg::ShowProgress(qsizetype rows)
{
    m_progress->setRange(0, int(qMax<qsizetype>(rows - 1, 0)));
    m_progress->setValue(0);
    m_progress->show();
}
