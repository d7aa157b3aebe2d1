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

} // namespace

class TestCatalogQuery : public QObject
{
    Q_OBJECT
private slots:
    // Every row names a table and a database holding a quote and a backslash:
    // MySQL doubles the backslash too unless NO_BACKSLASH_ESCAPES is on. SQL
    // Server's statements are checked as the window sends them.
    void statement_data()
    {
        QTest::addColumn<int>("queryKind");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("noBackslashEscapes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("mysql_databases") << 0 << 2 << false << u"select SCHEMA_NAME from information_schema.SCHEMATA"_s;
        QTest::newRow("mysql_tables") << 1 << 2 << false << kMySqlTables + u"'a''b\\\\c'"_s;
        QTest::newRow("mysql_columns") << 2 << 2 << false << kMySqlColumns + u"a''b\\\\c' AND TABLE_NAME='t\\\\''s'"_s;
        QTest::newRow("mysql_tables_no_backslash_escapes") << 1 << 2 << true << kMySqlTables + u"'a''b\\c'"_s;
        QTest::newRow("mysql_columns_no_backslash_escapes")
            << 2 << 2 << true << kMySqlColumns + u"a''b\\c' AND TABLE_NAME='t\\''s'"_s;
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
