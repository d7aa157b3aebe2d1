#include "db/OdbcConnection.h"

#include "db/OdbcSupport.h"

#include <QStringList>

#include <vector>

using namespace OdbcSupport;

QString OdbcMessages::ObjectOpen()
{
    return QStringLiteral("Operation is not allowed when the object is open.");
}

QString OdbcMessages::ObjectClosed()
{
    return QStringLiteral("Operation is not allowed when the object is closed.");
}

QString OdbcMessages::NoCurrentRecord()
{
    return QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                          "Requested operation requires a current record.");
}

COdbcError::COdbcError(QString description)
    : m_description(std::move(description)), m_what(m_description.toUtf8())
{
}

COdbcError COdbcError::FromDiagnostics(short handleType, void* handle)
{
    QStringList texts;
    std::vector<SQLWCHAR> message(512);
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &nativeError, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, state, &nativeError, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!Succeeded(rc))
            break;
        texts << FromSqlWChar(message.data(), qMin<qsizetype>(length, static_cast<qsizetype>(message.size()) - 1));
    }
    return COdbcError(texts.join(u'\n'));
}

std::unique_ptr<COdbcConnection> COdbcConnection::Create()
{
    SQLHENV env = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return nullptr;
    if (!Succeeded(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return nullptr;
    }
    return std::unique_ptr<COdbcConnection>(new COdbcConnection(env));
}

COdbcConnection::~COdbcConnection()
{
    Close();
    SQLFreeHandle(SQL_HANDLE_ENV, m_env);
}

void COdbcConnection::Open(const QString& connectionString)
{
    if (m_dbc)
        throw COdbcError(OdbcMessages::ObjectOpen());
    SQLHDBC dbc = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &dbc), SQL_HANDLE_ENV, m_env);
    SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(m_timeouts.connect)), 0);
    // Bounds the driver's waits that no statement timeout covers.
    SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(m_timeouts.statement)),
                       0);
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, ToSqlWChar(connectionString),
                                           SQL_NTS, nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
        COdbcError error = COdbcError::FromDiagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        throw error;
    }
    m_dbc = dbc;
}

void COdbcConnection::Execute(const QString& statement)
{
    if (!m_dbc)
        throw COdbcError(OdbcMessages::ObjectClosed());
    StatementHandle stmt(*this);
    SQLRETURN rc = SQLExecDirectW(stmt.get(), ToSqlWChar(statement), static_cast<SQLINTEGER>(statement.size()));
    // A batch may report its failure in a later result, so walk them all.
    while (rc != SQL_NO_DATA) {
        Check(rc, SQL_HANDLE_STMT, stmt.get());
        rc = SQLMoreResults(stmt.get());
    }
}

bool COdbcConnection::LinkLost() const
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    return m_dbc
        && SQL_SUCCEEDED(SQLGetConnectAttr(m_dbc, SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr))
        && dead == SQL_CD_TRUE;
}

void COdbcConnection::Cancel()
{
    const std::lock_guard lock(m_runningMutex);
    m_cancelled = true;
    // The driver manager lets SQLCancel past the statement's own lock.
    if (m_running)
        SQLCancel(m_running);
}

void COdbcConnection::SetRunning(void* statement)
{
    const std::lock_guard lock(m_runningMutex);
    m_running = statement;
    if (statement && m_cancelled)
        throw COdbcError(QStringLiteral("Operation cancelled."));
}

void COdbcConnection::Close()
{
    if (!m_dbc)
        return;
    SQLDisconnect(m_dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    m_dbc = nullptr;
}
