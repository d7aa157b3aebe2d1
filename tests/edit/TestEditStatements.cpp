#include "catalog/KeyQuery.h"
#include "edit/ColumnRestatement.h"
#include "edit/DescriptionStatements.h"
#include "edit/DescriptionUpdate.h"

#include <QTest>

// Statement texts compared character for character; test_edit_mysql runs
// the MySQL ones and refusals against the real server.
class TestEditStatements : public QObject
{
    Q_OBJECT
private slots:
    void statements_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const QString text = u"it's 100% \"ok\" \\ 完成"_qs;
        // SQL Server's statements are compared as the window sends them; the
        // owner of a SQL Server 2000 table is its user.
        const SqlServerTable owner{0, u"bob"_qs, u"t"_qs};
        QTest::newRow("sqlserver_2000_owner") << SqlServerTableDescription(u"sp_addextendedproperty"_qs, u"x"_qs, owner)
            << u"EXEC sp_addextendedproperty N'MS_Description',N'x',N'USER',N'bob',N'TABLE',N't'"_qs;
        const SqlServerTable quoted{1, u"sa'les"_qs, u"t'x"_qs}, dbo{1, {}, u"t"_qs};
        QTest::newRow("sqlserver_schema_quoted") << SqlServerColumnDescription(u"sp_updateextendedproperty"_qs, u"it's"_qs, quoted, u"c'ol"_qs)
            << u"EXEC sp_updateextendedproperty N'MS_Description',N'it''s',N'SCHEMA',N'sa''les',N'TABLE',N't''x',N'COLUMN',N'c''ol'"_qs;
        const QString listed = u" FROM ::fn_listextendedproperty(N'MS_Description',N'USER',N'dbo',N'TABLE',N't',"_qs;
        QTest::newRow("sqlserver_read_back") << SqlServerDescriptionReadBack(dbo)
            << u"SELECT [value]=CONVERT(NVARCHAR(4000),[value])"_qs + listed + u"NULL,NULL)"_qs;
        QTest::newRow("sqlserver_count") << SqlServerDescriptionCount(dbo, u"c"_qs)
            << u"SELECT [found]=COUNT(*)"_qs + listed + u"N'COLUMN',N'c')"_qs;
        QTest::newRow("sqlserver_key_tables") << BuildSqlServerIndexesOfTables({{u"dbo"_qs, u"a'b"_qs}, {{}, u"c]"_qs}})
            .section(u" IN "_qs, 1).section(u" ORDER"_qs, 0, 0) << u"(OBJECT_ID(N'[dbo].[a''b]'),OBJECT_ID(N'[c]]]'))"_qs;
        QTest::newRow("mysql_table") << MySqlTableComment(u"a`b"_qs, text, false)
                                     << u"alter table `a``b` comment 'it''s 100% \"ok\" \\\\ 完成'"_qs;
        // MySQL stores 1,024 (column) or 2,048 (table) characters of the BMP;
        // SQL Server 3,750 UTF-16 units, a pair counting two.
        const auto refused = [](const QString& typed, bool mysql, bool table) {
            return DescriptionRefusal(typed, mysql, table).section(u'，', 0, 0);
        };
        QTest::newRow("mysql_column_at_limit") << refused(QString(1024, u'长'), true, false) << QString();
        QTest::newRow("mysql_table_at_limit") << refused(QString(2048, u'x'), true, true) << QString();
        QTest::newRow("sqlserver_pair_at_limit") << refused(QString(3748, u'x') + u"😀"_qs, false, true) << QString();
        QTest::newRow("sqlserver_pair_past_limit") << refused(QString(3749, u'x') + u"😀"_qs, false, false)
                                                   << u"描述长度为3751个字符"_qs;
    }
    void statements()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    // Column "c" of a CREATE TABLE text given its body, with COMMENT 'n'.
    void restate_data()
    {
        QTest::addColumn<QStringList>("texts"); // the body, the line expected
        QTest::addColumn<bool>("ansiQuotes");
        auto row = [](const char* name, const char* body, bool ansi, const char* expected) {
            QTest::newRow(name) << QStringList{QString::fromUtf8(body), QString::fromUtf8(expected)} << ansi;
        };
        row("appended", "`a` int,\n  `c` int(11) DEFAULT NULL,\n  `d` int", false, "`c` int(11) DEFAULT NULL COMMENT 'n'");
        row("old_comment_replaced_in_place", "`c` int COMMENT 'it''s \\' COMMENT ''' INVISIBLE", false,
            "`c` int COMMENT 'n' INVISIBLE");
        row("comment_word_in_default_kept", "`c` varchar(9) DEFAULT 'x COMMENT ''y'''", false,
            "`c` varchar(9) DEFAULT 'x COMMENT ''y''' COMMENT 'n'");
        row("before_check", "`c` longtext DEFAULT NULL CHECK (json_valid(`c`))", false,
            "`c` longtext DEFAULT NULL COMMENT 'n' CHECK (json_valid(`c`))");
        row("commas_in_parentheses", "`x` enum('c,','`c`'),\n  `c` decimal(10,2) DEFAULT 1.50", false,
            "`c` decimal(10,2) DEFAULT 1.50 COMMENT 'n'");
        row("name_in_expression_only", "`x` int AS (`c` + 1) COMMENT 'c',\n  PRIMARY KEY (`c`)", false, "");
        row("backticks_doubled", "`c``` int,\n  `C` int", false, "`C` int COMMENT 'n'");
        row("ansi_quotes", "\"x\"\"c\" int,\n  \"c\" int DEFAULT '\"' COMMENT 'o'", true, "\"c\" int DEFAULT '\"' COMMENT 'n'");
        row("versioned_comment_kept", "`c` int /*!80023 INVISIBLE */", false, "`c` int /*!80023 INVISIBLE */ COMMENT 'n'");
    }
    void restate()
    {
        QFETCH(QStringList, texts);
        QFETCH(bool, ansiQuotes);
        const QString table = u"CREATE TABLE `t` (\n  "_qs + texts[0] + u"\n) ENGINE=InnoDB COMMENT='c int'"_qs;
        const std::optional<QString> line = RestateColumn(table, u"c"_qs, u"COMMENT 'n'"_qs, {ansiQuotes, false});
        QCOMPARE(line.value_or(QString()), texts[1]);
    }
};

QTEST_GUILESS_MAIN(TestEditStatements)
#include "TestEditStatements.moc"
