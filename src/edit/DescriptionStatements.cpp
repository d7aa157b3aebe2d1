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

QString MySqlTableComment(const QString& table, const QString& description, bool noBackslashEscapes)
{
    return QStringLiteral("alter table ") + MySqlIdentifier(table) + u' '
        + MySqlCommentClause(description, noBackslashEscapes);
}

QString MySqlShowCreateTable(const QString& table)
{
    return QStringLiteral("show create table ") + MySqlIdentifier(table);
}

QString MySqlModifyColumn(const QString& table, const QString& definition)
{
    return QStringLiteral("alter table ") + MySqlIdentifier(table) + QStringLiteral(" modify column ") + definition;
}

QString MySqlSessionMode()
{
    return QStringLiteral("select @@session.sql_mode");
}

QString MySqlRoundTripMode(const QString& sessionMode)
{
    // Only strictness: it decides whether the server refuses or changes a
    // value, and it is the server's to set. Every other mode changes what
    // SHOW CREATE TABLE prints or how ALTER reads it.
    static const QStringList strictness = {
        QStringLiteral("STRICT_TRANS_TABLES"), QStringLiteral("STRICT_ALL_TABLES"),
        QStringLiteral("NO_ZERO_IN_DATE"),     QStringLiteral("NO_ZERO_DATE"),
        QStringLiteral("ERROR_FOR_DIVISION_BY_ZERO"), QStringLiteral("NO_ENGINE_SUBSTITUTION")};
    QStringList kept;
    for (const QString& mode : sessionMode.split(u',', Qt::SkipEmptyParts))
        if (strictness.contains(mode.trimmed(), Qt::CaseInsensitive))
            kept.append(mode.trimmed());
    return QStringLiteral("set session sql_mode = '%1'").arg(kept.join(u','));
}

QString MySqlTableCommentReadBack(const QString& table, bool noBackslashEscapes)
{
    return QStringLiteral("select TABLE_COMMENT from information_schema.`TABLES` where TABLE_SCHEMA = database() "
                          "and TABLE_NAME = '%1'")
        .arg(EscapeMySqlLiteral(table, noBackslashEscapes));
}

QString MySqlColumnCommentReadBack(const QString& table, const QString& column, bool noBackslashEscapes)
{
    return QStringLiteral("select COLUMN_COMMENT from information_schema.`COLUMNS` where TABLE_SCHEMA = database() "
                          "and TABLE_NAME = '%1' and COLUMN_NAME = '%2'")
        .arg(EscapeMySqlLiteral(table, noBackslashEscapes), EscapeMySqlLiteral(column, noBackslashEscapes));
}
