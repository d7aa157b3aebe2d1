#include "export/DocumentedTable.h"
#include "export/StructureFile.h"
#include "export/WorkbookReader.h"

#include <QTemporaryDir>
#include <QTest>

#include "support/Zip.h"

using Rows = std::vector<QStringList>;

namespace {
const QByteArray kMain = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )";
const QByteArray kWorkbook = "<workbook" + kMain + R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<sheets><sheet name="Notes" sheetId="1" r:id="rId1"/></sheets></workbook>)";
// Plain, leading spaces, rich runs with a phonetic reading, escapes.
const QByteArray kShared = "<sst" + kMain + R"(><si><t xml:space="preserve">  lead</t></si>)"
    R"(<si><r><rPr><b/></rPr><t>ri</t></r><r><t>ch</t></r><rPh sb="0" eb="1"><t>ヨミ</t></rPh></si>)"
    "<si><t>a_x000D_b_x005F_x0041_</t></si></sst>";

// A sheet's rows as texts, a missing row as an empty one, a fault as "!" and its reason.
Rows Texts(const WorkbookSheet& sheet)
{
    Rows rows;
    for (const WorkbookRow& row : sheet.rows) {
        rows.resize(size_t(row.number));
        for (qsizetype i = 0; i < row.cells.size(); ++i)
            rows.back() << (row.faults.value(i).isEmpty() ? row.cells[i] : "!" + row.faults[i]);
    }
    return rows;
}

} // namespace

class TestWorkbookReader : public QObject
{
    Q_OBJECT

private slots:
    // What the program writes comes back as the same texts, not reinterpreted.
    void ownWorkbook_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("breaks_tab_spaces") << "  two leading\r\nline\ttab\rcr\nlf  ";
        QTest::newRow("chinese_non_bmp") << "用户表 \U0001F600 \U00020000";
        QTest::newRow("numbers_stay_text") << "1E+3";
        QTest::newRow("escape_lookalikes") << "a_x000D_b_x005F_c_x12_";
        QTest::newRow("hex_outside_escape") << "_x ab1234cd";
    }
    void ownWorkbook()
    {
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.xlsx");
        const QStringList values{"c", "int", "1", "", "", "", "", "", text};
        QString error;
        QVERIFY2(WriteWorkbook(path, {{"t " + text, text, {values}}}, 2, error), qPrintable(error));
        std::vector<WorkbookSheet> sheets;
        QVERIFY2(ReadWorkbook(path, sheets, error, 10), qPrintable(error));
        QCOMPARE(sheets.size(), size_t(2));
        QCOMPARE(sheets[0].name, "Columns");
        QCOMPARE(Texts(sheets[0]), (Rows{StructureHeader(), StructureFields("t " + text, values, 2)}));
        QCOMPARE(sheets[1].name, "Tables");
        QCOMPARE(Texts(sheets[1]), (Rows{{"Table", "Description"}, {"t " + text, text}}));
        // A width for each column of the sheet, none past them.
        QCOMPARE(ZipEntry(path, "xl/worksheets/sheet1.xml").count("<col "), StructureHeader().size());
    }

    // A default past a cell's 32,767 characters fails the workbook: no cell is left out.
    void cellTooLong()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!WriteWorkbook(dir.filePath("t.xlsx"), {{"t", "", {{"c", "varchar", "", "", "", "", "", QString(40000, u'x')}}}}, 2, error));
        QVERIFY(!error.isEmpty() && !QFile::exists(dir.filePath("t.xlsx")));
    }

    // Workbooks as a spreadsheet program saves them.
    void savedWorkbook_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("sheetData");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("cell_kinds") << QByteArray("worksheets/sheet1.xml")
            << QByteArray(R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="C1" t="s"><v>1</v></c></row>)"
                          R"(<row r="3"><c r="A3"><v>1E+3</v></c><c><v>7.0</v></c><c><v>0</v></c><c t="n"><v>-2.50E+1</v></c>)"
                          R"(<c><v>1.25E-1</v></c><c t="b"><v>1</v></c><c t="e"><v>#DIV/0!</v></c><c t="str"><f>A1</f><v>f</v></c>)"
                          R"(<c><f>1+1</f><v></v></c></row>)"
                          R"(<row><c t="s"><v>2</v></c><c t="str"><v>x_xG001__x0041_</v></c><c r="E4" t="inlineStr">)"
                          R"(<is><r><t>in</t></r><r><t xml:space="preserve"> line</t></r></is></c><c r="F4" s="1"/></row>)")
            << true
            << Rows{{"  lead", "", "rich"}, {}, {"1000", "7", "0", "-25", "1.25E-1", "TRUE", "!the error #DIV/0!", "f",
                            "!a formula without a computed value"},
                    {"a\rb_x0041_", "x_xG001_A", "", "", "in line"}};
        QTest::newRow("absolute_target_column_AA") << QByteArray("/xl/worksheets/sheet1.xml")
            << QByteArray(R"(<row r="2"><c r="AA2" t="b"><v>0</v></c></row>)") << true
            << Rows{{}, QStringList(26) << "FALSE"};
        // Each row one cell at the last column: no memory for the cells between.
        QByteArray far;
        for (int row = 1; row <= 20000; ++row)
            far += QString(R"(<row r="%1"><c r="XFD%1"><v>1</v></c></row>)").arg(row).toUtf8();
        QTest::newRow("sparse_cells_at_XFD") << QByteArray("worksheets/sheet1.xml") << far << true << Rows(20000);
        QTest::newRow("shared_index_past_end") << QByteArray("worksheets/sheet1.xml")
            << QByteArray(R"(<row><c t="s"><v>3</v></c></row>)") << false << Rows{};
        QTest::newRow("boolean_neither_0_nor_1") << QByteArray("worksheets/sheet1.xml")
            << QByteArray(R"(<row><c t="b"><v>2</v></c></row>)") << false << Rows{};
        QTest::newRow("column_past_XFD") << QByteArray("worksheets/sheet1.xml")
            << QByteArray(R"(<row><c r="XFE1"><v>1</v></c></row>)") << false << Rows{};
        // The largest part read is 32 MiB, to the byte.
        const QByteArray cell = R"(<row><c t="str"><v>x</v></c></row>)";
        const qsizetype wrapping = QByteArray("<worksheet" + kMain + "><sheetData></sheetData></worksheet>").size();
        QTest::newRow("sheet_of_the_largest_size") << QByteArray("worksheets/sheet1.xml")
            << cell + QByteArray((qsizetype{32} << 20) - wrapping - cell.size(), ' ') << true << Rows{{"x"}};
        // A text of over 16 Mi units is no description.
        QTest::newRow("text_too_long") << QByteArray("worksheets/sheet1.xml")
            << R"(<row><c t="inlineStr"><is><t>)" + QByteArray((qsizetype{16} << 20) + 1, 'x') + "</t></is></c></row>"
            << false << Rows{};
        QTest::newRow("sheet_part_missing") << QByteArray("worksheets/sheet9.xml") << QByteArray() << false << Rows{};
        // Not a workbook at all: no target.
        QTest::newRow("text_file") << QByteArray() << QByteArray("Table\tDescription\r\n") << false << Rows{};
        QTest::newRow("zip_without_workbook") << QByteArray("-") << QByteArray("<document/>") << false << Rows{};
    }
    void savedWorkbook()
    {
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, sheetData);
        QTemporaryDir dir;
        const QString path = dir.filePath("s.xlsx");
        const QByteArray rels = R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target=")" +
            target + "\"/></Relationships>";
        QFile plain(path);
        QVERIFY(target.isEmpty() ? plain.open(QIODevice::WriteOnly) && plain.write(sheetData) == sheetData.size()
                : target == "-" ? WriteZip(path, {{"word/document.xml", sheetData}})
                                : WriteZip(path, {{"xl/workbook.xml", kWorkbook}, {"xl/_rels/workbook.xml.rels", rels},
                                                  {"xl/sharedStrings.xml", kShared},
                                                  {"xl/worksheets/sheet1.xml", "<worksheet" + kMain + "><sheetData>" + sheetData + "</sheetData></worksheet>"}}));
        plain.close();
        std::vector<WorkbookSheet> sheets{{"stale", {}}};
        QString error;
        QTEST(ReadWorkbook(path, sheets, error, 30), "ok");
        QCOMPARE(sheets.size(), size_t(error.isEmpty())); // a failure leaves nothing stale
        if (!sheets.empty()) {
            QCOMPARE(sheets[0].name, "Notes");
            QTEST(Texts(sheets[0]), "rows");
            if (sheetData.contains("XFD"))
                QCOMPARE(sheets[0].rows.back().width, 16384);
        }
    }
};

QTEST_GUILESS_MAIN(TestWorkbookReader)
#include "TestWorkbookReader.moc"
