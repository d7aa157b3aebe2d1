#include "db/OdbcRecordset.h"

#include "db/OdbcSupport.h"

#include <algorithm>

using namespace OdbcSupport;

namespace {

QStringList ReadColumnNames(SQLHSTMT stmt, SQLSMALLINT columns)
{
    QStringList names;
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
        SQLWCHAR name[256];
        SQLSMALLINT length = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        Check(SQLDescribeColW(stmt, column, name, 256, &length, &type, &size, &digits, &nullable), SQL_HANDLE_STMT,
              stmt);
        names << FromSqlWChar(name, qMin<qsizetype>(length, 255));
    }
    return names;
}

// Reads one field as UTF-16 text, however long: SQLGetData hands a long value
// over in pieces, each but the last filling the buffer (01004, truncated).
QString ReadField(SQLHSTMT stmt, SQLUSMALLINT column)
{
    constexpr SQLLEN BufferUnits = 2048;
    SQLWCHAR buffer[BufferUnits];
    constexpr SQLLEN BufferBytes = sizeof(buffer);
    constexpr SQLLEN PieceBytes = BufferBytes - static_cast<SQLLEN>(sizeof(SQLWCHAR));
    QString value;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer, BufferBytes, &indicator);
        if (rc == SQL_NO_DATA)
            return value;
        Check(rc, SQL_HANDLE_STMT, stmt);
        if (indicator == SQL_NULL_DATA)
            return QString();
        const bool truncated = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > PieceBytes);
        if (truncated) {
            value += FromSqlWChar(buffer, PieceBytes / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
            continue;
        }
        value += FromSqlWChar(buffer, indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
        return value;
    }
}

} // namespace

void COdbcRecordset::Open(const QString& statement, COdbcConnection& connection)
{
    if (m_open)
        throw COdbcError(OdbcMessages::ObjectOpen());
    if (connection.State() == 0)
        throw COdbcError(OdbcMessages::ObjectClosed());

    StatementHandle stmt(connection);
    SQLRETURN rc = SQLExecDirectW(stmt.get(), ToSqlWChar(statement), static_cast<SQLINTEGER>(statement.size()));
    // Skip leading results without columns (row counts of a batch).
    SQLSMALLINT columns = 0;
    while (rc != SQL_NO_DATA) {
        Check(rc, SQL_HANDLE_STMT, stmt.get());
        Check(SQLNumResultCols(stmt.get(), &columns), SQL_HANDLE_STMT, stmt.get());
        if (columns > 0)
            break;
        rc = SQLMoreResults(stmt.get());
    }

    QStringList fields;
    std::vector<QStringList> rows;
    if (columns > 0) {
        fields = ReadColumnNames(stmt.get(), columns);
        for (;;) {
            rc = SQLFetch(stmt.get());
            if (rc == SQL_NO_DATA)
                break;
            Check(rc, SQL_HANDLE_STMT, stmt.get());
            QStringList row;
            row.reserve(columns);
            for (SQLUSMALLINT column = 1; column <= columns; ++column)
                row << ReadField(stmt.get(), column);
            rows.push_back(std::move(row));
        }
    }

    m_fields = std::move(fields);
    m_rows = std::move(rows);
    m_position = 0;
    m_open = true;
}

void COdbcRecordset::Close()
{
    m_open = false;
    m_fields.clear();
    m_rows.clear();
    m_position = 0;
}

void COdbcRecordset::RequireOpen() const
{
    if (!m_open)
        throw COdbcError(OdbcMessages::ObjectClosed());
}

qsizetype COdbcRecordset::RecordCount() const
{
    RequireOpen();
    return static_cast<qsizetype>(m_rows.size());
}

bool COdbcRecordset::IsEOF() const
{
    RequireOpen();
    return m_position >= m_rows.size();
}

void COdbcRecordset::MoveNext()
{
    if (IsEOF())
        throw COdbcError(OdbcMessages::NoCurrentRecord());
    ++m_position;
}

QString COdbcRecordset::Collect(const QString& fieldName) const
{
    RequireOpen();
    const auto field = std::find_if(m_fields.cbegin(), m_fields.cend(), [&](const QString& name) {
        return name.compare(fieldName, Qt::CaseInsensitive) == 0;
    });
    if (field == m_fields.cend())
        throw COdbcError(QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                        "name or ordinal: \"%1\".")
                             .arg(fieldName));
    if (IsEOF())
        throw COdbcError(OdbcMessages::NoCurrentRecord());
    return m_rows[m_position][field - m_fields.cbegin()];
}
