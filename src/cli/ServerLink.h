#pragma once

#include "common/DbKind.h"
#include "db/MySqlClient.h"
#include "edit/DescriptionStatements.h"
#include "edit/DescriptionUpdate.h"
#include "export/DocumentedTable.h"
#include "export/StructureExport.h"

#include <QHash>

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class COdbcConnection;
class COdbcRecordset;

// A server as the command line names it: from the settings file's history
// or given in full.
struct ServerAddress {
    bool mysql = true;
    QString host;
    QString port;
    QString user;
    QString password;
};

// The history entry of the server in the settings file, read as the window
// reads it but without writing to it; nullopt when the history does not
// name it.
std::optional<ServerAddress> ServerFromHistory(const QString& settingsPath, const QString& server);

// One open connection to one database, and what the window reads over it.
class CServerLink
{
public:
    CServerLink();
    ~CServerLink();

    // False with Error() when the server cannot be reached.
    bool Open(const ServerAddress& address, const QString& database);
    // The tables as the window lists them, sorted as it sorts them, with
    // their descriptions (no columns yet) and views marked; a MySQL listing
    // without descriptions is quicker.
    bool ListTables(std::vector<DocumentedTable>& tables, bool descriptions = true);
    // The export loop of the window over this connection.
    void Export(const QStringList& tables, CTableSink& sink, ExportOutcome& outcome, const ExportReports& reports);
    // The indexes and foreign keys of the tables; each failed statement's
    // message goes to `errors`.
    KeyCatalog ReadKeys(const QStringList& tables, QStringList& errors);
    // The checked write of the window, on this connection: `stored` is what
    // the server holds now; an empty column is the table's description.
    UpdateResult WriteDescription(const QString& table, const QString& column, const QString& description,
                                  const QString& stored);
    DbKind Kind() const { return m_kind; }
    QString Error() const { return m_error; }

private:
    // The MySQL client's last error.
    QString MySqlError() const;

    DbKind m_kind = 2;
    QString m_database;
    QString m_error;
    CMySqlClient m_mysql;
    std::unique_ptr<COdbcConnection> m_connection;
    std::unique_ptr<COdbcRecordset> m_recordset;
    QHash<QString, SqlServerTable> m_sources;
};
