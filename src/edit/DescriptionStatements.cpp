#include "edit/DescriptionStatements.h"

#include "catalog/SqlQuote.h"

#include <QStringList>

QString ExtendedPropertyProcedure(const QString& stored)
{
    return stored.isEmpty() ? QStringLiteral("sp_addextendedproperty") : QStringLiteral("sp_updateextendedproperty");
}

namespace {

// The owner level of an extended property: the design's N'USER',N'dbo' for
// dbo, a user (SQL Server 2000's owner) or a schema otherwise.
QString Level0(DbKind kind, const QString& schema)
{
    const QString owner = schema.isEmpty() ? QStringLiteral("dbo") : schema;
    const bool user = kind == 0 || owner == u"dbo";
    return QStringLiteral("N'%1',N'%2'").arg(user ? QStringLiteral("USER") : QStringLiteral("SCHEMA"),
                                           EscapeSqlServerLiteral(owner));
}

} // namespace

QString SqlServerTableDescription(const QString& procedure, const QString& description, const SqlServerTable& table)
{
    return QStringLiteral("EXEC %1 N'MS_Description',N'%2',%3,N'TABLE',N'%4'")
        .arg(procedure, EscapeSqlServerLiteral(description), Level0(table.kind, table.schema),
             EscapeSqlServerLiteral(table.name));
}

QString SqlServerColumnDescription(const QString& procedure, const QString& description, const SqlServerTable& table,
                                   const QString& column)
{
    return QStringLiteral("EXEC %1 N'MS_Description',N'%2',%3,N'TABLE',N'%4',N'COLUMN',N'%5'")
        .arg(procedure, EscapeSqlServerLiteral(description), Level0(table.kind, table.schema),
             EscapeSqlServerLiteral(table.name), EscapeSqlServerLiteral(column));
}

namespace {

QString PropertyList(const SqlServerTable& table, const QString& column)
{
    const QString level2 = column.isNull() ? QStringLiteral("NULL,NULL")
                                           : QStringLiteral("N'COLUMN',N'%1'").arg(EscapeSqlServerLiteral(column));
    return QStringLiteral("::fn_listextendedproperty(N'MS_Description',%1,N'TABLE',N'%2',%3)")
        .arg(Level0(table.kind, table.schema), EscapeSqlServerLiteral(table.name), level2);
}

} // namespace

QString SqlServerDescriptionReadBack(const SqlServerTable& table, const QString& column)
{
    return QStringLiteral("SELECT [value]=CONVERT(NVARCHAR(4000),[value]) FROM ") + PropertyList(table, column);
}

QString SqlServerDescriptionCount(const SqlServerTable& table, const QString& column)
{
    return QStringLiteral("SELECT [found]=COUNT(*) FROM ") + PropertyList(table, column);
}

QString MySqlIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'`', QStringLiteral("``"));
    return u'`' + quoted + u'`';
}

QString MySqlCommentClause(const QString& description, bool noBackslashEscapes)
{
    return QStringLiteral("comment '") + EscapeMySqlLiteral(description, noBackslashEscapes) + u'\'';
}

QString MySqlTableComment(const QString& table, const QString& description, bool noBackslashEscapes,
                          const QStringList& restated)
{
    QString statement = QStringLiteral("alter table ") + MySqlIdentifier(table) + u' '
        + MySqlCommentClause(description, noBackslashEscapes);
    for (const QString& clause : restated)
        statement += QStringLiteral(", ") + clause;
    return statement;
}

QString MySqlFloatDefaults(const QString& table)
{
    return QStringLiteral("select COLUMN_NAME from information_schema.`COLUMNS` where TABLE_SCHEMA = database() "
                          "and TABLE_NAME = '%1' and DATA_TYPE = 'float' and COLUMN_DEFAULT <> 'NULL'")
        .arg(EscapeMySqlLiteral(table));
}

QString MySqlShowCreateTable(const QString& table)
{
    return QStringLiteral("show create table ") + MySqlIdentifier(table);
}

QString MySqlModifyColumn(const QString& table, const QString& definition, const QString& algorithm)
{
    return QStringLiteral("alter table ") + MySqlIdentifier(table) + QStringLiteral(" modify column ") + definition
        + QStringLiteral(", algorithm=") + algorithm;
}

QString MySqlWriteSession(bool versionedTables)
{
    // Read and set in one statement, so the server's own mode decides; the
    // text parses alike under every mode.
    QString statement = QStringLiteral(
        "set session sql_mode = concat('STRICT_ALL_TABLES', "
        "if(find_in_set('ALLOW_INVALID_DATES', @@session.sql_mode), ',ALLOW_INVALID_DATES', '')), "
        "sql_quote_show_create = 1");
    if (versionedTables)
        statement += QStringLiteral(", system_versioning_alter_history = 'KEEP'");
    return statement;
}

QString MySqlTableType(const QString& table)
{
    return QStringLiteral("select TABLE_TYPE from information_schema.`TABLES` where TABLE_SCHEMA = database() "
                          "and TABLE_NAME = '%1'")
        .arg(EscapeMySqlLiteral(table));
}

QString MySqlLockTable(const QString& table)
{
    return QStringLiteral("lock tables ") + MySqlIdentifier(table) + QStringLiteral(" write");
}

QString MySqlUnlockTables()
{
    return QStringLiteral("unlock tables");
}

QString MySqlColumnFacts(const QString& table, const QString& column)
{
    return QStringLiteral("select COLUMN_TYPE, IS_NULLABLE, COLUMN_DEFAULT, EXTRA, CHARACTER_SET_NAME, "
                          "COLLATION_NAME, GENERATION_EXPRESSION, DATA_TYPE, COLUMN_COMMENT "
                          "from information_schema.`COLUMNS` where TABLE_SCHEMA = database() "
                          "and TABLE_NAME = '%1' and COLUMN_NAME = '%2'")
        .arg(EscapeMySqlLiteral(table), EscapeMySqlLiteral(column));
}

namespace {

QString DefaultValue(const QString& field, bool binary, bool floating)
{
    return binary     ? QStringLiteral("concat('=', hex(default(%1)))").arg(field)
           : floating ? QStringLiteral("concat('=', default(%1) + 0e0)").arg(field)
                      : QStringLiteral("concat('=', hex(convert(default(%1) using utf8mb4)))").arg(field);
}

} // namespace

QString MySqlExactValues(const QString& table, const QString& column, bool withDefault, bool binary, bool floating,
                         bool srid)
{
    QStringList values;
    if (withDefault)
        values << DefaultValue(MySqlIdentifier(table) + u'.' + MySqlIdentifier(column), binary, floating);
    if (srid)
        values << QStringLiteral("(select SRID from information_schema.GEOMETRY_COLUMNS where F_TABLE_SCHEMA = "
                                 "database() and F_TABLE_NAME = '%1' and G_GEOMETRY_COLUMN = '%2')")
                      .arg(EscapeMySqlLiteral(table), EscapeMySqlLiteral(column));
    return QStringLiteral("select %1 from (select 1 as velmora_one) velmora_row left join %2 on true limit 1")
        .arg(values.join(QStringLiteral(", ")), MySqlIdentifier(table));
}

QString MySqlFloatDefaultValues(const QString& table, const QStringList& columns)
{
    QStringList values;
    for (const QString& column : columns)
        values << DefaultValue(MySqlIdentifier(table) + u'.' + MySqlIdentifier(column), false, true);
    return QStringLiteral("select %1 from (select 1 as velmora_one) velmora_row left join %2 on true limit 1")
        .arg(values.join(QStringLiteral(", ")), MySqlIdentifier(table));
}

QString MySqlDefaultsTable(const QString& table)
{
    return QStringLiteral("create temporary table velmora_defaults like ") + MySqlIdentifier(table);
}

QString MySqlDefaultsRow()
{
    // Columns without a default get their type's empty value.
    return QStringLiteral("insert ignore into velmora_defaults () values ()");
}

QString MySqlDefaultsRead(const QString& column, bool binary, bool floating)
{
    return QStringLiteral("select %1 from velmora_defaults")
        .arg(DefaultValue(QStringLiteral("velmora_defaults.") + MySqlIdentifier(column), binary, floating));
}

QString MySqlDefaultsDrop()
{
    return QStringLiteral("drop temporary table if exists velmora_defaults");
}

QString MySqlMembersTable(const QString& table, const QString& column)
{
    return QStringLiteral("create temporary table velmora_members as select %1 from %2 limit 0")
        .arg(MySqlIdentifier(column), MySqlIdentifier(table));
}

QString MySqlMembersInsert(const QString& column, qsizetype count, bool set)
{
    QStringList rows;
    for (qsizetype k = 0; k < count; ++k)
        rows << u'(' + (set ? QString::number(quint64(1) << k) : QString::number(k + 1)) + u')';
    return QStringLiteral("insert into velmora_members (%1) values %2").arg(MySqlIdentifier(column), rows.join(u','));
}

QString MySqlMembersRead(const QString& column)
{
    return QStringLiteral("select hex(convert(%1 using utf8mb4)) from velmora_members order by %1 + 0")
        .arg(MySqlIdentifier(column));
}

QString MySqlMembersDrop()
{
    return QStringLiteral("drop temporary table if exists velmora_members");
}

QString MySqlTableCommentReadBack(const QString& table, bool noBackslashEscapes)
{
    return QStringLiteral("select TABLE_COMMENT from information_schema.`TABLES` where TABLE_SCHEMA = database() "
                          "and TABLE_NAME = '%1'")
        .arg(EscapeMySqlLiteral(table, noBackslashEscapes));
}
