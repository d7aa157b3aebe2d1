#include "edit/DescriptionStatements.h"

#include "catalog/SqlQuote.h"

QString ExtendedPropertyProcedure(const QString& stored)
{
    return stored.isEmpty() ? QStringLiteral("sp_addextendedproperty") : QStringLiteral("sp_updateextendedproperty");
}

QString SqlServerTableDescription(const QString& procedure, const QString& description, const QString& table)
{
    return QStringLiteral("EXEC %1 N'MS_Description',N'%2',N'USER',N'dbo',N'TABLE',N'%3'")
        .arg(procedure, EscapeSqlServerLiteral(description), EscapeSqlServerLiteral(table));
}

QString SqlServerColumnDescription(const QString& procedure, const QString& description, const QString& table,
                                   const QString& column)
{
    return QStringLiteral("EXEC %1 N'MS_Description',N'%2',N'USER',N'dbo',N'TABLE',N'%3',N'COLUMN',N'%4'")
        .arg(procedure, EscapeSqlServerLiteral(description), EscapeSqlServerLiteral(table),
             EscapeSqlServerLiteral(column));
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

QString MySqlSessionWithBackslashEscapes()
{
    return QStringLiteral("set session sql_mode = trim(both ',' from replace(concat(',', @@session.sql_mode, ','), "
                          "',NO_BACKSLASH_ESCAPES,', ','))");
}

QString MySqlSessionMode()
{
    return QStringLiteral("select @@session.sql_mode");
}
