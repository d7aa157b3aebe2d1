#include "catalog/CatalogQuery.h"

#include "catalog/SqlQuote.h"

namespace {

bool IsSqlServer(DbKind kind)
{
    return kind == 0 || kind == 1;
}

QString Databases(DbKind kind)
{
    if (kind == 2)
        return QStringLiteral("select SCHEMA_NAME from information_schema.SCHEMATA");
    return QStringLiteral("SELECT [name] FROM sysdatabases ")
        + QStringLiteral("WHERE [name] NOT IN ('master','msdb','model','tempdb','ReportServer','ReportServerTempDB')");
}

QString Tables(const QString& database, DbKind kind, bool noBackslashEscapes)
{
    if (kind == 2) {
        return QStringLiteral("SELECT TABLE_NAME,TABLE_COMMENT from information_schema.`TABLES` where TABLE_SCHEMA = '")
            + EscapeMySqlLiteral(database, noBackslashEscapes) + u'\'';
    }
    // The join keeps only the table's own MS_Description, so a table with
    // other properties is neither dropped nor listed twice.
    // The owner (SQL Server 2000) or schema tells apart tables of one name.
    const QString select =
        QStringLiteral("SELECT [name]=T.[name],[extpro]=CONVERT(NVARCHAR(4000),isnull(G.[value],'')),")
        + (kind == 0 ? QStringLiteral("[schema]=USER_NAME(T.[uid]) ") : QStringLiteral("[schema]=SCHEMA_NAME(T.[uid]) "));
    if (kind == 0) {
        return select
            + QStringLiteral("FROM sysobjects T LEFT JOIN sysproperties G on T.[id]=G.[id] AND G.[smallid]=0 "
                             "AND G.[type]=3 AND G.[name]='MS_Description' ")
            + QStringLiteral("WHERE T.[xtype]='U' AND T.[name]<>'dtproperties'");
    }
    // major_id is an object id only for class 1.
    return select
        + QStringLiteral("FROM sys.sysobjects T LEFT JOIN sys.extended_properties G ON (T.[id]=G.[major_id] "
                         "AND G.[minor_id] = 0 AND G.[class]=1 AND G.[name]='MS_Description') ")
        + QStringLiteral("WHERE T.[xtype]='U'");
}

// The nine result columns of the MySQL column query, up to its "from".
QString MySqlColumnValues()
{
    return QStringLiteral("SELECT COLUMN_NAME as 'name' ,DATA_TYPE as 'type'")
        + QStringLiteral(",CASE CHARACTER_MAXIMUM_LENGTH IS NULL WHEN TRUE THEN NUMERIC_PRECISION "
                         "ELSE CHARACTER_MAXIMUM_LENGTH END as 'length'")
        + QStringLiteral(",CASE NUMERIC_SCALE IS NULL WHEN TRUE THEN '' ELSE NUMERIC_SCALE END as 'dec'")
        + QStringLiteral(",CASE IS_NULLABLE WHEN 'NO' THEN '' ELSE '√' END as 'null'")
        + QStringLiteral(",CASE COLUMN_KEY WHEN 'PRI' THEN '√' ELSE '' END as 'key'")
        + QStringLiteral(",CASE EXTRA WHEN 'auto_increment' THEN '√' ELSE '' END as 'auto'")
        + QStringLiteral(",COLUMN_DEFAULT as 'default',COLUMN_COMMENT as 'desc'");
}

QString MySqlColumns(const QString& table, const QString& database, bool noBackslashEscapes)
{
    return MySqlColumnValues()
        + QStringLiteral(" from information_schema.`COLUMNS` where TABLE_SCHEMA='")
        + EscapeMySqlLiteral(database, noBackslashEscapes)
        + QStringLiteral("' AND TABLE_NAME='")
        + EscapeMySqlLiteral(table, noBackslashEscapes)
        + u'\'';
}

QString SqlServerColumns(const QString& table, const QString& schema, DbKind kind)
{
    // Only a column's own MS_Description is its description; class 1 keeps an
    // index property with the same minor id from doubling a row. Unicode
    // literals: under a collation whose code page lacks them, a Chinese table
    // name would match nothing and '√' would arrive as '?'.
    const QString descriptionJoin = kind == 0
        ? QStringLiteral("left JOIN sysproperties ETP on C.[id]=ETP.[id] and C.[colid]=ETP.[smallid] "
                         "and ETP.[name]='MS_Description' ")
        : QStringLiteral("left JOIN sys.extended_properties ETP ON ETP.[major_id]=C.[id] "
                         "AND ETP.[minor_id]=C.[colid] AND ETP.[class]=1 AND ETP.[name]='MS_Description' ");
    return QStringLiteral("SELECT [name]=C.[name],")
        + QStringLiteral("[type]=T.[name],")
        + QStringLiteral("[length]=COLUMNPROPERTY(C.[id],C.[name],'PRECISION'),")
        + QStringLiteral("[dec]=isnull(COLUMNPROPERTY(C.[id],C.[name],'Scale'),0),")
        + QStringLiteral("[null]=case when convert(bit,C.[IsNullable])=1 then N'√' else '' end ,")
        + QStringLiteral("[key]=case when exists(SELECT 1 FROM sysobjects where [xtype]='PK' "
                         "and [parent_obj]=C.[id] and [name] in ( ")
        + QStringLiteral("\t\t\t\t")
        + QStringLiteral("SELECT [name] FROM sysindexes WHERE [indid] in (SELECT [indid] FROM sysindexkeys "
                         "WHERE [id] = C.[id] AND [colid]=C.[colid]))) then N'√' else '' end,")
        + QStringLiteral("[auto]=case when convert(bit,COLUMNPROPERTY(C.[id],C.[name],'IsIdentity'))=1 "
                         "then N'√' else '' end,")
        + QStringLiteral("[default]=isnull(CM.[text],''),")
        + QStringLiteral("[desc]=isnull(ETP.[value],'') ")
        + QStringLiteral("FROM syscolumns C left JOIN systypes T on C.[xusertype]=T.[xusertype] ")
        + QStringLiteral("inner JOIN sysobjects D on C.[id]=D.[id] and D.[xtype]='U' and D.[name]<>'dtproperties' ")
        + QStringLiteral("left JOIN syscomments CM on C.[cdefault]=CM.[id] ")
        + descriptionJoin
        + QStringLiteral("WHERE D.[name]=N'")
        + EscapeSqlServerLiteral(table)
        + u'\''
        + (schema.isEmpty() ? QString()
                            : QStringLiteral(" AND D.[uid]=%1(N'%2')")
                                  .arg(kind == 0 ? QStringLiteral("USER_ID") : QStringLiteral("SCHEMA_ID"),
                                       EscapeSqlServerLiteral(schema)));
}

} // namespace

QString BuildCatalogQuery(int queryKind, const QString& table, const QString& database, DbKind kind,
                          bool noBackslashEscapes, const QString& schema)
{
    if (kind != 2 && !IsSqlServer(kind))
        return {};
    switch (queryKind) {
    case kQueryDatabases:
        return Databases(kind);
    case kQueryTables:
        return Tables(database, kind, noBackslashEscapes);
    case kQueryColumns:
        return kind == 2 ? MySqlColumns(table, database, noBackslashEscapes) : SqlServerColumns(table, schema, kind);
    default:
        return {};
    }
}

QString BuildMySqlColumnsOfTables(const QStringList& tables, const QString& database, bool noBackslashEscapes)
{
    QString statement = MySqlColumnValues() + QStringLiteral(",TABLE_NAME as 'table'")
        + QStringLiteral(" from information_schema.`COLUMNS` where TABLE_SCHEMA='")
        + EscapeMySqlLiteral(database, noBackslashEscapes) + QStringLiteral("' AND TABLE_NAME IN (");
    for (qsizetype i = 0; i < tables.size(); ++i) {
        if (i > 0)
            statement += u',';
        statement += u'\'' + EscapeMySqlLiteral(tables[i], noBackslashEscapes) + u'\'';
    }
    return statement + u')';
}

QString BuildMySqlViewNames(const QString& database, bool noBackslashEscapes)
{
    return BuildMySqlTableNames(database, noBackslashEscapes) + QStringLiteral(" AND TABLE_TYPE = 'VIEW'");
}

QString BuildMySqlTableNames(const QString& database, bool noBackslashEscapes)
{
    return QStringLiteral("SELECT TABLE_NAME from information_schema.`TABLES` where TABLE_SCHEMA = '")
        + EscapeMySqlLiteral(database, noBackslashEscapes) + u'\'';
}
