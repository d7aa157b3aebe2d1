#include "cli/ServerLink.h"

#include "catalog/CatalogQuery.h"
#include "catalog/CatalogRows.h"
#include "catalog/NameOrder.h"
#include "db/MySqlText.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "db/SqlServerConnectionString.h"
#include "export/MySqlColumnReader.h"
#include "settings/StoredServer.h"

#include <algorithm>
#include <cstdlib>

namespace {

// As the window reads a port: leading digits, 0 when there are none.
std::uint32_t PortNumber(const QString& text)
{
    return static_cast<std::uint32_t>(std::atoi(ToMySql(text).c_str()));
}

} // namespace

std::optional<ServerAddress> ServerFromHistory(const QString& settingsPath, const QString& server)
{
    const CSettingsFile settings;
    const std::optional<QString> known = FindInHistory(settings, settingsPath, server);
    if (!known)
        return std::nullopt;
    const StoredServer stored = ReadStoredServer(settings, settingsPath, *known, false);
    return ServerAddress{stored.IsMySql(), *known, stored.port, stored.user, stored.password};
}

CServerLink::CServerLink() = default;

QString CServerLink::MySqlError() const
{
    return QStringLiteral("%1 : %2").arg(m_mysql.m_errorCode).arg(FromMySql(m_mysql.m_errorText));
}

CServerLink::~CServerLink()
{
    if (m_connection && m_connection->State() != 0)
        m_connection->Close();
    m_mysql.Close();
}

bool CServerLink::Open(const ServerAddress& address, const QString& database)
{
    m_database = database;
    if (address.mysql) {
        m_kind = 2;
        m_mysql.SetConnectParams(ToMySql(address.host), ToMySql(address.user), ToMySql(address.password),
                                 ToMySql(database), PortNumber(address.port));
        if (m_mysql.Connect())
            return true;
        m_error = MySqlError();
        return false;
    }
    m_connection = COdbcConnection::Create();
    m_recordset = std::make_unique<COdbcRecordset>();
    const SqlServerConnectionString text = BuildSqlServerConnectionString(
        ChooseSqlServerDriver(InstalledOdbcDrivers()), address.host, address.port, database, address.user,
        address.password);
    if (!m_connection || !text.IsValid()) {
        m_error = m_connection ? text.error : QStringLiteral("no ODBC environment");
        return false;
    }
    try {
        m_connection->Open(text.text);
    } catch (const COdbcError& error) {
        m_error = error.Description();
        return false;
    }
    const CatalogRows probe = QuerySqlServerRows(*m_recordset, *m_connection, kCatalogProbe, {});
    if (probe.failed) {
        m_error = probe.error;
        return false;
    }
    m_kind = probe.rows.size() == 1 ? 0 : 1;
    return true;
}

bool CServerLink::ListTables(std::vector<DocumentedTable>& tables, bool descriptions)
{
    const bool mysql = m_kind == 2;
    const bool escapes = mysql && m_mysql.NoBackslashEscapes();
    const QString statement = mysql && !descriptions ? BuildMySqlTableNames(m_database, escapes)
                                                     : BuildCatalogQuery(kQueryTables, {}, m_database, m_kind, escapes);
    const CatalogRows result = mysql ? QueryMySqlRows(m_mysql, statement, 2)
                                     : QuerySqlServerRows(*m_recordset, *m_connection, statement,
                                                          {"name", "extpro", "schema"});
    if (result.failed) {
        m_error = mysql ? MySqlError() : result.error;
        return false;
    }
    std::vector<std::pair<QString, DocumentedTable>> keyed;
    for (const QStringList& values : result.rows) {
        // Outside dbo a SQL Server table shows as schema.name.
        const QString schema = values.value(2);
        const bool dbo = schema.isEmpty() || schema == u"dbo";
        const QString name = dbo ? values[0] : schema + u'.' + values[0];
        if (!mysql)
            m_sources.insert(name, SqlServerTable{m_kind, schema, values[0]});
        keyed.emplace_back(name.toCaseFolded(), DocumentedTable{name, values.value(1), {}});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) {
        return NameSortsBefore(x.first, x.second.name, y.first, y.second.name);
    });
    tables.clear();
    for (auto& entry : keyed)
        tables.push_back(std::move(entry.second));
    if (mysql && !MarkMySqlViews(m_mysql, m_database, tables)) {
        m_error = MySqlError();
        return false;
    }
    return true;
}

void CServerLink::Export(const QStringList& tables, CTableSink& sink, ExportOutcome& outcome,
                         const ExportReports& reports)
{
    // The window's chunk of tables per column statement.
    constexpr qsizetype kChunk = 250;
    if (m_kind == 2) {
        ExportMySqlTables(m_mysql, m_database, tables, kChunk, sink, outcome, reports);
        return;
    }
    std::vector<SqlServerTable> sources;
    for (const QString& table : tables)
        sources.push_back(m_sources.value(table, SqlServerTable{m_kind, {}, table}));
    ExportSqlServerTables(*m_recordset, *m_connection, m_kind, tables, sources, sink, outcome, reports);
}

KeyCatalog CServerLink::ReadKeys(const QStringList& tables, QStringList& errors)
{
    constexpr qsizetype kChunk = 250;
    if (m_kind == 2)
        return ReadMySqlKeys(m_mysql, m_database, tables, kChunk, errors);
    std::vector<SqlServerTable> sources;
    for (const QString& table : tables)
        sources.push_back(m_sources.value(table, SqlServerTable{m_kind, {}, table}));
    return ReadSqlServerKeys(*m_recordset, *m_connection, m_kind, tables, sources, kChunk, errors);
}

UpdateResult CServerLink::WriteDescription(const QString& table, const QString& column, const QString& description,
                                           const QString& stored)
{
    if (m_kind == 2) {
        UpdateResult result = column.isEmpty() ? UpdateMySqlTableComment(m_mysql, table, description)
                                               : UpdateMySqlColumnComment(m_mysql, table, column, description);
        // The window's words are Chinese; the server's error says it here.
        constexpr unsigned kLockWaitTimeout = 1205;
        if (result.outcome == UpdateResult::Failed && m_mysql.m_errorCode == 0)
            result.error = QStringLiteral("sent, but what the server stored could not be read back");
        else if (result.outcome == UpdateResult::Failed)
            result.error = m_mysql.m_errorCode == kLockWaitTimeout
                ? QStringLiteral("table %1 is locked by another session; try again later").arg(table)
                : MySqlError();
        return result;
    }
    const SqlServerTable source = m_sources.value(table, SqlServerTable{m_kind, {}, table});
    const QString procedure = SqlServerPropertyProcedure(*m_connection, *m_recordset, stored,
                                                         SqlServerDescriptionCount(source, column));
    const QString statement = column.isEmpty()
        ? SqlServerTableDescription(procedure, description, source)
        : SqlServerColumnDescription(procedure, description, source, column);
    return UpdateSqlServerDescription(*m_connection, *m_recordset, statement,
                                      SqlServerDescriptionReadBack(source, column), description);
}
