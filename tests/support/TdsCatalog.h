#pragma once

// The peer's server: its databases, tables and columns with their extended
// properties, and how a server answers the program's statements from them.

#include "support/TdsStatements.h"
#include "support/TdsWire.h"

#include <QMap>
#include <QString>

#include <optional>
#include <vector>

struct TdsColumnDef {
    QString name;
    QString type;                 // as systypes names it: "int", "nvarchar", ...
    std::optional<int> precision; // COLUMNPROPERTY 'PRECISION'; nullopt is NULL
    std::optional<int> scale;     // COLUMNPROPERTY 'Scale'; nullopt is NULL
    bool nullable = true;
    bool primaryKey = false;
    bool identity = false;
    QString defaultText;                // the default's text in syscomments, e.g. "((0))"; empty: none
    QMap<QString, QString> properties; // extended properties by name

    // A column declared as in CREATE TABLE ("int", "nvarchar(50)",
    // "decimal(10,2)", "varchar(max)", "ntext", ...), with the precision and
    // scale a server reports for it; a type it does not know gets NULL for both.
    static TdsColumnDef Declared(const QString& name, const QString& declaration);
    TdsColumnDef& Describe(const QString& description);
    TdsColumnDef& NotNull();
    TdsColumnDef& Key();
    TdsColumnDef& Identity();
    TdsColumnDef& Default(const QString& text);
};

struct TdsTableDef {
    QString name;
    QMap<QString, QString> properties;
    std::vector<TdsColumnDef> columns;

    std::optional<QString> Description() const;
};

struct TdsDatabaseDef {
    QString name;
    std::vector<TdsTableDef> tables;
};

// What the server sends back for one batch.
struct TdsReply {
    std::vector<TdsWire::Column> columns; // empty: no result set
    std::vector<std::vector<TdsWire::Cell>> rows;
    std::optional<TdsWire::Message> error;
    QString procedure; // the stored procedure the batch ran, if any
};

class TdsCatalog
{
public:
    // master, model, msdb, tempdb, ReportServer and ReportServerTempDB, no
    // user database, the sys.extended_properties catalog (kind 1).
    TdsCatalog();

    // 0: a server whose databases hold sysproperties; 1: one with
    // sys.extended_properties.
    int kind = 1;
    TdsStatements::PropertyTemplates propertyTemplates = TdsStatements::PropertyTemplates::Default();

    // Adds the database, or replaces the one of the same name.
    void AddDatabase(const TdsDatabaseDef& database);
    bool HasDatabase(const QString& name) const;
    // The stored spelling of a database name, compared as the server does.
    QString DatabaseName(const QString& name) const;
    const TdsDatabaseDef* Database(const QString& name) const;
    const TdsTableDef* Table(const QString& database, const QString& table) const;

    // The reply to a batch run in a database; ANY statement not among the
    // program's is refused with an error that quotes it.
    TdsReply Answer(const QString& database, const QString& statement);

private:
    TdsDatabaseDef* FindDatabase(const QString& name);
    TdsReply Databases() const;
    TdsReply Tables(const QString& database) const;
    TdsReply Columns(const QString& database, const QString& table) const;
    TdsReply SetProperty(const QString& database, bool add, const QStringList& values);

    std::vector<TdsDatabaseDef> m_databases;
};
