#include "export/DescriptionChanges.h"
#include "export/StructureFile.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

// An edited export read back and compared with what the server holds.

namespace {

// t: a description with a line break and a TAB, one empty, one plain.
const std::vector<DocumentedTable> kServer{
    {"t", "old t", {{"a", "int", "", "", "", "", "", "", "l1\r\nl2\tx"}, {"b", "int"}, {"c", "int", "", "", "", "", "", "", "keep"}}},
    {"u", "", {{"id", "int"}}},
};

QString Line(const QString& table, const QString& column, const QString& description)
{
    return QStringList{table, column, "int", "10", "0", "", "", "", "", description}.join(u'\t');
}

QString Summary(const DescriptionChanges& found)
{
    QStringList changes;
    for (const DescriptionChange& change : found.changes)
        changes << change.table + u'.' + change.column + u'=' + change.wanted + (change.refusal.isEmpty() ? "" : "!");
    return QStringLiteral("%1|%2|%3").arg(changes.join(u',')).arg(found.unchanged).arg(found.unusable.join(u';'));
}

} // namespace

class TestDescriptionChanges : public QObject
{
    Q_OBJECT
    QTemporaryDir m_folder;

    // As the program or a spreadsheet saves it: "UTF-16LE+bom", "UTF-8", ...
    StructureInput Read(const QStringList& lines, const QString& saved = "UTF-8")
    {
        const bool bom = saved.endsWith("+bom");
        const QString end = saved.startsWith("UTF-16LE") ? "\r\n" : "\n";
        const QString path = m_folder.filePath("f.txt");
        QFile file(path);
        const QString text = (QStringList{StructureHeader().join(u'\t')} + lines).join(end) + end;
        if (!file.open(QIODevice::WriteOnly) || file.write(QStringEncoder(qPrintable(saved.section(u'+', 0, 0)), bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default).encode(text)) < 0)
            qFatal("cannot write %s", qPrintable(path));
        file.close();
        StructureInput input;
        QString error;
        if (!ReadStructureFile(path, input, error))
            qFatal("not read: %s", qPrintable(error));
        return input;
    }

private slots:
    void compare_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected");
        const QStringList untouched{Line("t", "a", "l1；l2 x"), Line("t", "b", ""), Line("t", "c", "keep")};
        QTest::newRow("untouched") << "UTF-16LE+bom" << untouched << "|3|";
        QTest::newRow("quoted by a spreadsheet") << "UTF-8+bom"
            << QStringList{Line("t", "c", "\"say \"\"hi\"\"\""), Line("t", "b", "\"keep\""),
                           Line("t", "a", "\"1\t2\t3\t4\t5\t6\t7\t8\t9\"")} // a TAB short of a whole line
            << "t.c=say \"hi\",t.b=keep,t.a=1\t2\t3\t4\t5\t6\t7\t8\t9|0|";
        QTest::newRow("emptied and emoji") << "UTF-16LE"
            << QStringList{Line("t", "c", ""), Line("t", "b", "😀")} << "t.c=,t.b=😀!|0|";
        QTest::newRow("unusable lines") << "UTF-16BE"
            << QStringList{Line("gone", "a", "x"), Line("t", "zz", "x"), "t\tb\tshort", Line("u", "id", "1"),
                           Line("t", "c", "y"), Line("t", "c", "z")}
            << "u.id=1|0|line 4: 3 fields where there should be 10;line 6, line 7: t.c is given more than once;"
               "line 2: the database has no table gone;line 3: table t has no column zz";
    }
    void compare()
    {
        QFETCH(QString, saved);
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        QCOMPARE(Summary(CompareDescriptions(Read(lines, saved), kServer, true, nullptr, false)), expected);
    }

    // Nothing is guessed from a file that is not an export.
    void notAnExport_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("other header") << QByteArray("name\tcolumn\n");
        QTest::newRow("GBK") << QByteArray(QStringEncoder("GB18030").encode(StructureHeader().join(u'\t')));
        QTest::newRow("broken zip") << QByteArray("PK\x03\x04 not really");
    }
    void notAnExport()
    {
        QFETCH(QByteArray, bytes);
        QFile file(m_folder.filePath("bad.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        StructureInput input;
        QString error;
        QVERIFY(!ReadStructureFile(file.fileName(), input, error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDescriptionChanges)
#include "TestDescriptionChanges.moc"
