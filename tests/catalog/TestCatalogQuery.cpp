#include "catalog/CatalogQuery.h"
#include "catalog/SqlQuote.h"
#include "common/AnsiCodePage.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Shared parts of the statements; every row still compares the whole statement.
const QString kMySqlTables = u"SELECT TABLE_NAME,TABLE_COMMENT from information_schema.`TABLES` where TABLE_SCHEMA = "_s;
const QString kMySqlColumns =
    u"SELECT COLUMN_NAME as 'name' ,DATA_TYPE as 'type'"
    ",CASE CHARACTER_MAXIMUM_LENGTH IS NULL WHEN TRUE THEN NUMERIC_PRECISION ELSE CHARACTER_MAXIMUM_LENGTH END as 'length'"
    ",CASE NUMERIC_SCALE IS NULL WHEN TRUE THEN '' ELSE NUMERIC_SCALE END as 'dec'"
    ",CASE IS_NULLABLE WHEN 'NO' THEN '' ELSE '\u221A' END as 'null'"
    ",CASE COLUMN_KEY WHEN 'PRI' THEN '\u221A' ELSE '' END as 'key'"
    ",CASE EXTRA WHEN 'auto_increment' THEN '\u221A' ELSE '' END as 'auto'"
    ",COLUMN_DEFAULT as 'default',COLUMN_COMMENT as 'desc'"
    " from information_schema.`COLUMNS` where TABLE_SCHEMA='"_s;
const QString kSqlServerColumns =
    u"SELECT [name]=C.[name],[type]=T.[name],"
    "[length]=COLUMNPROPERTY(C.[id],C.[name],'PRECISION'),"
    "[dec]=isnull(COLUMNPROPERTY(C.[id],C.[name],'Scale'),0),"
    "[null]=case when convert(bit,C.[IsNullable])=1 then '\u221A' else '' end ,"
    "[key]=case when exists(SELECT 1 FROM sysobjects where [xtype]='PK' and [parent_obj]=C.[id] and [name] in ( "
    "\t\t\t\tSELECT [name] FROM sysindexes WHERE [indid] in (SELECT [indid] FROM sysindexkeys WHERE [id] = C.[id] "
    "AND [colid]=C.[colid]))) then '\u221A' else '' end,"
    "[auto]=case when convert(bit,COLUMNPROPERTY(C.[id],C.[name],'IsIdentity'))=1 then '\u221A' else '' end,"
    "[default]=isnull(CM.[text],''),[desc]=isnull(ETP.[value],'') "
    "FROM syscolumns C left JOIN systypes T on C.[xusertype]=T.[xusertype] "
    "inner JOIN sysobjects D on C.[id]=D.[id] and D.[xtype]='U' and D.[name]<>'dtproperties' "
    "left JOIN syscomments CM on C.[cdefault]=CM.[id] "_s;
const QString kSysPropertiesJoin =
    u"left JOIN sysproperties ETP on C.[id]=ETP.[id] and C.[colid]=ETP.[smallid] and ETP.[name]='MS_Description' "_s;
const QString kExtendedPropertiesJoin =
    u"left JOIN sys.extended_properties ETP ON ETP.[major_id]=C.[id] AND ETP.[minor_id]=C.[colid] "
    "AND ETP.[class]=1 AND ETP.[name]='MS_Description' "_s;
const QString kSqlServerDatabases = u"SELECT [name] FROM sysdatabases WHERE [name] NOT IN "
                                    "('master','msdb','model','tempdb','ReportServer','ReportServerTempDB')"_s;
const QString kTablesHead = u"SELECT [name]=T.[name],[extpro]=CONVERT(NVARCHAR(4000),isnull(G.[value],'')) "_s;

} // namespace

class TestCatalogQuery : public QObject
{
    Q_OBJECT
private slots:
    // Every row names a table and a database holding a quote and a backslash:
    // SQL Server doubles the quote only, MySQL the backslash too unless
    // NO_BACKSLASH_ESCAPES is on.
    void statement_data()
    {
        QTest::addColumn<int>("queryKind");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("noBackslashEscapes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sysproperties_databases") << 0 << 0 << false << kSqlServerDatabases;
        QTest::newRow("extended_properties_databases") << 0 << 1 << false << kSqlServerDatabases;
        QTest::newRow("mysql_databases") << 0 << 2 << false << u"select SCHEMA_NAME from information_schema.SCHEMATA"_s;
        // Only the table's own MS_Description joins, so a table keeps exactly one row.
        QTest::newRow("sysproperties_tables")
            << 1 << 0 << false
            << kTablesHead + u"FROM sysobjects T LEFT JOIN sysproperties G on T.[id]=G.[id] AND G.[smallid]=0 "
                             "AND G.[type]=3 AND G.[name]='MS_Description' "
                             "WHERE T.[xtype]='U' AND T.[name]<>'dtproperties'"_s;
        QTest::newRow("extended_properties_tables")
            << 1 << 1 << false
            << kTablesHead + u"FROM sys.sysobjects T LEFT JOIN sys.extended_properties G ON (T.[id]=G.[major_id] "
                             "AND G.[minor_id] = 0 AND G.[class]=1 AND G.[name]='MS_Description') WHERE T.[xtype]='U'"_s;
        QTest::newRow("mysql_tables") << 1 << 2 << false << kMySqlTables + u"'a''b\\\\c'"_s;
        QTest::newRow("sysproperties_columns")
            << 2 << 0 << false << kSqlServerColumns + kSysPropertiesJoin + u"WHERE D.[name]='t\\''s'"_s;
        QTest::newRow("extended_properties_columns")
            << 2 << 1 << false << kSqlServerColumns + kExtendedPropertiesJoin + u"WHERE D.[name]='t\\''s'"_s;
        QTest::newRow("mysql_columns") << 2 << 2 << false << kMySqlColumns + u"a''b\\\\c' AND TABLE_NAME='t\\\\''s'"_s;
        QTest::newRow("mysql_tables_no_backslash_escapes") << 1 << 2 << true << kMySqlTables + u"'a''b\\c'"_s;
        QTest::newRow("mysql_columns_no_backslash_escapes")
            << 2 << 2 << true << kMySqlColumns + u"a''b\\c' AND TABLE_NAME='t\\''s'"_s;

        // Unknown query kinds and server kinds yield nothing to run.
        for (const int kind : {-1, 0, 1, 2, 3})
            for (const int queryKind : {-1, 0, 1, 2, 3})
                if (kind < 0 || kind > 2 || queryKind < 0 || queryKind > 2)
                    QTest::addRow("unknown_query_%d_kind_%d", queryKind, kind) << queryKind << kind << false << QString();
    }
    void statement()
    {
        QFETCH(int, queryKind);
        QFETCH(int, kind);
        QFETCH(bool, noBackslashEscapes);
        QFETCH(QString, expected);
        QCOMPARE(BuildCatalogQuery(queryKind, u"t\\'s"_s, u"a'b\\c"_s, kind, noBackslashEscapes), expected);
    }


    void gbkTrailByteIsNoBackslash()
    {
        // GBK's 乗 is 0x81 0x5C: that byte stays single, a real backslash doubles.
        const std::string bytes = AnsiCodePage::FromUnicode(EscapeMySqlLiteral(u"乗\\'"_s));
        QCOMPARE(QByteArray::fromStdString(bytes), QByteArray("\x81\x5c\\\\''"));
    }
};

QTEST_GUILESS_MAIN(TestCatalogQuery)
#include "TestCatalogQuery.moc"
