#include "catalog/KeyQuery.h"

#include "catalog/SqlQuote.h"

namespace {

// Both filters go to each information_schema table read, so the server
// looks up the tables asked for instead of reading the whole schema.
// Without names, every table of the schema: the server lists the schema's
// tables for a statement in any case, so above a few hundred tables one
// statement for all costs less than one for each few hundred.
QString MySqlTableFilter(const QString& schemaColumn, const QString& tableColumn, const QStringList& tables,
                         const QString& database, bool noBackslashEscapes)
{
    QString filter = schemaColumn + QStringLiteral("='") + EscapeMySqlLiteral(database, noBackslashEscapes) + u'\'';
    if (tables.isEmpty())
        return filter;
    filter += QStringLiteral(" AND ") + tableColumn + QStringLiteral(" IN (");
    for (qsizetype i = 0; i < tables.size(); ++i) {
        if (i > 0)
            filter += u',';
        filter += u'\'' + EscapeMySqlLiteral(tables[i], noBackslashEscapes) + u'\'';
    }
    return filter + u')';
}

QString Bracketed(const QString& name)
{
    return u'[' + QString(name).replace(QStringLiteral("]"), QStringLiteral("]]")) + u']';
}

// OBJECT_ID of each table: the server resolves each name once, and the
// statement needs no join on names that a collation could bend.
QString ObjectIds(const std::vector<SqlServerName>& tables)
{
    QString ids;
    for (const auto& [schema, name] : tables) {
        if (!ids.isEmpty())
            ids += u',';
        const QString qualified = schema.isEmpty() ? Bracketed(name) : Bracketed(schema) + u'.' + Bracketed(name);
        ids += QStringLiteral("OBJECT_ID(N'") + EscapeSqlServerLiteral(qualified) + QStringLiteral("')");
    }
    return u'(' + ids + u')';
}

} // namespace

QString BuildMySqlIndexesOfTables(const QStringList& tables, const QString& database, bool noBackslashEscapes)
{
    return QStringLiteral("SELECT TABLE_NAME,INDEX_NAME,IFNULL(COLUMN_NAME,''),NON_UNIQUE,SEQ_IN_INDEX "
                          "from information_schema.STATISTICS where ")
        + MySqlTableFilter(QStringLiteral("TABLE_SCHEMA"), QStringLiteral("TABLE_NAME"), tables, database,
                           noBackslashEscapes);
}

QString BuildMySqlForeignKeysOfTables(const QStringList& tables, const QString& database, bool noBackslashEscapes)
{
    return QStringLiteral("SELECT TABLE_NAME,CONSTRAINT_NAME,COLUMN_NAME,REFERENCED_TABLE_SCHEMA,"
                          "REFERENCED_TABLE_NAME,REFERENCED_COLUMN_NAME,ORDINAL_POSITION "
                          "from information_schema.KEY_COLUMN_USAGE where REFERENCED_TABLE_NAME IS NOT NULL AND ")
        + MySqlTableFilter(QStringLiteral("TABLE_SCHEMA"), QStringLiteral("TABLE_NAME"), tables, database,
                           noBackslashEscapes);
}

QString BuildMySqlForeignKeyRules(const QStringList& tables, const QString& database, bool noBackslashEscapes)
{
    return QStringLiteral("SELECT TABLE_NAME,CONSTRAINT_NAME,DELETE_RULE,UPDATE_RULE "
                          "from information_schema.REFERENTIAL_CONSTRAINTS where ")
        + MySqlTableFilter(QStringLiteral("CONSTRAINT_SCHEMA"), QStringLiteral("TABLE_NAME"), tables, database,
                           noBackslashEscapes);
}

QString BuildSqlServerIndexesOfTables(const std::vector<SqlServerName>& tables)
{
    return QStringLiteral("SELECT [schema]=SCHEMA_NAME(O.[schema_id]),[table]=O.[name],[index]=I.[name],"
                          "[column]=C.[name],[unique]=CONVERT(int,I.[is_unique]),"
                          "[primary]=CONVERT(int,I.[is_primary_key]) "
                          "FROM sys.indexes I JOIN sys.objects O ON O.[object_id]=I.[object_id] "
                          "JOIN sys.index_columns IC ON IC.[object_id]=I.[object_id] AND IC.[index_id]=I.[index_id] "
                          "AND IC.[is_included_column]=0 "
                          "JOIN sys.columns C ON C.[object_id]=IC.[object_id] AND C.[column_id]=IC.[column_id] "
                          "WHERE I.[index_id]>0 AND I.[is_hypothetical]=0 AND I.[object_id] IN ")
        + ObjectIds(tables) + QStringLiteral(" ORDER BY I.[object_id],I.[index_id],IC.[key_ordinal]");
}

QString BuildSqlServerForeignKeysOfTables(const std::vector<SqlServerName>& tables)
{
    return QStringLiteral("SELECT [schema]=SCHEMA_NAME(O.[schema_id]),[table]=O.[name],[key]=F.[name],"
                          "[column]=PC.[name],[refschema]=SCHEMA_NAME(R.[schema_id]),[reftable]=R.[name],"
                          "[refcolumn]=RC.[name],[ondelete]=F.[delete_referential_action_desc],"
                          "[onupdate]=F.[update_referential_action_desc] "
                          "FROM sys.foreign_keys F JOIN sys.objects O ON O.[object_id]=F.[parent_object_id] "
                          "JOIN sys.objects R ON R.[object_id]=F.[referenced_object_id] "
                          "JOIN sys.foreign_key_columns FC ON FC.[constraint_object_id]=F.[object_id] "
                          "JOIN sys.columns PC ON PC.[object_id]=FC.[parent_object_id] "
                          "AND PC.[column_id]=FC.[parent_column_id] "
                          "JOIN sys.columns RC ON RC.[object_id]=FC.[referenced_object_id] "
                          "AND RC.[column_id]=FC.[referenced_column_id] "
                          "WHERE F.[parent_object_id] IN ")
        + ObjectIds(tables) + QStringLiteral(" ORDER BY F.[parent_object_id],F.[object_id],FC.[constraint_column_id]");
}
