#include "export/DocumentedTable.h"
#include "export/ExportFileName.h"
#include "export/StructureFile.h"

#include <QTest>

class TestStructureFile : public QObject
{
    Q_OBJECT

private slots:
    // ".txt" only where no suffix was typed; a server name's dots are no suffix.
    void exportFileName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("textFilter");
        QTest::addColumn<QString>("saved");
        QTest::newRow("server_name") << "/d/127.0.0.1-shop" << true << "/d/127.0.0.1-shop.txt";
        QTest::newRow("bare_ip") << "/d/127.0.0.1" << true << "/d/127.0.0.1.txt";
        QTest::newRow("typed_csv") << "/d/report.csv" << true << "/d/report.csv";
        QTest::newRow("six_letters") << "/d/a.abcdef" << true << "/d/a.abcdef.txt";
        QTest::newRow("dot_in_folder") << "/d.csv/report" << true << "/d.csv/report.txt";
        QTest::newRow("all_filter") << "/d/127.0.0.1-shop" << false << "/d/127.0.0.1-shop";
    }
    void exportFileName()
    {
        QFETCH(QString, typed);
        QFETCH(bool, textFilter);
        QTEST(ExportFileName(typed, textFilter), "saved");
    }

    // One column is one line of ten fields whatever its values hold.
    void line_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("line");
        QTest::newRow("crlf_cr_lf_each_one_mark") << QStringList{"c", "int", "1", "", "", "", "", "a\r\nb", "x\ry\nz\r\n\r\n"}
                                                  << "t\tc\tint\t1\t\t\t\t\ta；b\tx；y；z；；";
        QTest::newRow("lf_cr_is_two_breaks") << QStringList{"c", "int", "1", "", "", "", "", "", "a\n\rb"}
                                             << "t\tc\tint\t1\t\t\t\t\t\ta；；b";
        QTest::newRow("tab_becomes_space") << QStringList{"c\td", "int", "1", "", "", "", "", "", "x\ty"}
                                           << "t\tc d\tint\t1\t\t\t\t\t\tx y";
        QTest::newRow("missing_values_empty") << QStringList{"c"} << "t\tc\t\t\t\t\t\t\t\t";
    }
    void line()
    {
        QFETCH(QStringList, values);
        QTEST(StructureLine("t", values, 2), "line");
    }

    // A description in a Markdown paragraph or cell renders as the text it
    // is: nothing in it starts a list, code, a quote or emphasis.
    void markdownText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("markdown");
        QTest::newRow("ordered_list") << "1. first" << "1\\. first";
        QTest::newRow("ordered_paren") << "12) x" << "12\\) x";
        QTest::newRow("number_alone") << "3." << "3\\.";
        QTest::newRow("decimal_stays") << "0.00" << "0.00";
        QTest::newRow("indented_code") << "    code\tx" << "&#32;&#32;&#32;&#32;code\tx";
        QTest::newRow("tab_code") << "\t1. a" << "&#9;1. a";
        QTest::newRow("bullet") << "- a" << "\\- a";
        QTest::newRow("inline_marks") << "a|b *c* _d_ <e> \\ `f` [g] #h ~i & j"
                                      << "a\\|b \\*c\\* \\_d\\_ &lt;e&gt; \\\\ \\`f\\` \\[g\\] \\#h \\~i &amp; j";
        QTest::newRow("breaks") << "a\r\nb\rc\nd\r\n" << "a<br>b<br>c<br>d<br>";
    }
    void markdownText()
    {
        QFETCH(QString, text);
        QTEST(MarkdownText(text), "markdown");
    }
};

QTEST_GUILESS_MAIN(TestStructureFile)
#include "TestStructureFile.moc"
