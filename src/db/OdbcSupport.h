#pragma once

// Private to the ODBC classes: keeps <sql.h> and its Windows-style typedefs
// out of the public headers.

#include "db/OdbcConnection.h"

#include <QString>

#include <sql.h>
#include <sqlext.h>

namespace OdbcSupport {

// unixODBC's SQLWCHAR is UTF-16, the same units QString holds.
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));

inline SQLWCHAR* ToSqlWChar(const QString& text)
{
    return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(reinterpret_cast<const char16_t*>(text.utf16())));
}

inline QString FromSqlWChar(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

inline bool Succeeded(SQLRETURN rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Throws the handle's diagnostics unless rc reports success.
inline void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle)
{
    if (!Succeeded(rc))
        throw COdbcError::FromDiagnostics(handleType, handle);
}

// Owns one statement handle for the length of one call, bounded by the
// connection's statement timeout and known to its Cancel meanwhile.
class StatementHandle
{
public:
    explicit StatementHandle(COdbcConnection& connection) : m_connection(connection)
    {
        const auto dbc = static_cast<SQLHDBC>(connection.NativeHandle());
        const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_handle);
        if (!Succeeded(rc)) {
            m_handle = SQL_NULL_HSTMT;
            throw COdbcError::FromDiagnostics(SQL_HANDLE_DBC, dbc);
        }
        SQLSetStmtAttrW(m_handle, SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(SQLULEN(connection.m_timeouts.statement)), 0);
        try {
            connection.SetRunning(m_handle);
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
            throw;
        }
    }
    ~StatementHandle()
    {
        m_connection.SetRunning(nullptr);
        SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
    }
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    SQLHSTMT get() const { return m_handle; }

private:
    COdbcConnection& m_connection;
    SQLHSTMT m_handle = SQL_NULL_HSTMT;
};

} // namespace OdbcSupport
