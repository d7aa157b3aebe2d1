#include "../app/ExportDriving.h"
#include "../app/MySqlWindow.h"

#include "catalog/CatalogQuery.h"
#include "catalog/KeyQuery.h"
#include "export/DocumentSink.h"
#include "support/TdsPeer.h"
#include "../export/Zip.h"
#include "RunVelmora.h"

#include <QComboBox>
#include <QFileDialog>
#include <QTimer>
#include <QXmlStreamReader>

// The HTML and Word documents as a reader sees them: each parsed back into
// its blocks of text in order.

namespace {

// The blocks of the document's last section, from its heading on: an XHTML
// page's headings, paragraphs, items and cells, or a Word document's
// paragraphs, a break read as LF and a tab as TAB. Links are checked to
// reach their targets.
QStringList LastSection(const QString& path, const QString& heading)
{
    static const QStringList html = {"h1", "h2", "h3", "p", "li", "th", "td"};
    const bool word = path.endsWith(".docx");
    const QByteArray bytes = word ? ZipEntry(path, "word/document.xml") : ReadAll(path);
    if (!word && (bytes.contains("<script") || bytes.contains("src=") || bytes.contains("url(")))
        return {"not self-contained"};
    QStringList blocks, links, targets;
    QXmlStreamReader xml(bytes); // XHTML-compatible: a plain XML reader takes it
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString name = xml.qualifiedName().toString();
        const auto attribute = [&](const char* key) { return xml.attributes().value(key).toString(); };
        const bool block = word ? name == u"w:p" : html.contains(name);
        if (xml.isStartElement()) {
            if (block && depth++ == 0)
                blocks.append(QString());
            if (name == QLatin1String(word ? "w:hyperlink" : "a"))
                links.append(attribute(word ? "w:anchor" : "href"));
            if (word ? name == u"w:bookmarkStart" : xml.attributes().hasAttribute("id"))
                targets.append(word ? attribute("w:name") : u'#' + attribute("id"));
            if (word && (name == u"w:t" || name == u"w:br" || name == u"w:tab"))
                blocks.last() += name == u"w:t" ? xml.readElementText() : QString(name == u"w:br" ? "\n" : "\t");
        } else if (xml.isEndElement() && block) {
            --depth;
        } else if (xml.isCharacters() && depth > 0 && !word) {
            blocks.last() += xml.text();
        }
    }
    if (xml.hasError())
        return {"not well-formed: " + xml.errorString()};
    for (const QString& link : links)
        if (!targets.contains(link))
            return {"dangling link " + link};
    while (!blocks.isEmpty() && blocks.last().isEmpty())
        blocks.removeLast();
    const qsizetype at = blocks.lastIndexOf(heading);
    return at < 0 ? QStringList{"no heading in " + blocks.join('|')} : blocks.mid(at);
}

const QStringList kColumns = {"名称", "类型", "长度", "小数", "空值", "主键", "自增", "默认", "描述"};
const QStringList kIndexes = {"索引", "名称", "字段", "唯一", "主键"};
const QStringList kKeys = {"外键", "名称", "字段", "引用表", "引用字段", "删除时", "更新时"};

} // namespace

class TestDocumentExport : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;
    QTemporaryDir m_odbc;
    QStringList m_orders; // the blocks of the orders section

private slots:
    void initTestCase()
    {
        QVERIFY2(ConnectClient(m_admin), "the private MariaDB is not running");
        QVERIFY(UsePrivateOdbc(m_odbc.path()) && RegisterOdbcDrivers(m_odbc.path(), {"FreeTDS"}));
        Run(m_admin, "create database vel_doc character set utf8mb4");
        Run(m_admin, "create table vel_doc.customers (id int auto_increment primary key, email varchar(80),"
                     " unique key uq_email (email))");
        Run(m_admin, "create table vel_doc.orders (id int auto_increment primary key, customer_id int not null"
                     " comment 'who\\r\\nordered <&>', placed datetime, key ix_cust (customer_id, placed),"
                     " constraint fk_cust foreign key (customer_id) references customers (id) on delete cascade)"
                     " comment 'a ]]> b\\Z\x01 &amp;'");
        m_orders = QStringList{"orders — a ]]> b\\x1A\\x01 &amp;"} + kColumns
            + QStringList{"id", "int", "10", "0", "", "√", "√", "", "", "customer_id", "int", "10", "0", "", "", "",
                          "", "who\nordered <&>", "placed", "datetime", "", "", "√", "", "", "NULL", ""}
            + kIndexes + QStringList{"PRIMARY", "id", "√", "√", "ix_cust", "customer_id, placed", "", ""} + kKeys
            + QStringList{"fk_cust", "customer_id", "customers", "id", "CASCADE", "RESTRICT"};
        // Sorted last: a view, with neither MySQL's "VIEW" nor indexes.
        Run(m_admin, "create view vel_doc.v_orders as select id from vel_doc.orders");
    }
    void cleanupTestCase() { m_admin.Query("drop database if exists vel_doc"); }

    void commandLine_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* file : {"d.html", "d.docx"})
            QTest::newRow(file) << QString(file);
    }
    void commandLine()
    {
        QFETCH(QString, file);
        QTemporaryDir folder;
        const Ran ran = Velmora(folder.path(), {"export", "--kind", "mysql", "--server", Server().host, "--port",
                                                   Server().port, "--user", Server().user, "--database", "vel_doc",
                                                   "-o", file}, Server().password);
        QVERIFY2(ran.status == 0, qPrintable(ran.err));
        QCOMPARE(LastSection(folder.filePath(file), m_orders[0]).mid(0, m_orders.size()), m_orders);
        const QStringList view = LastSection(folder.filePath(file), "v_orders（视图）");
        QCOMPARE(view.mid(0, 11), QStringList{"v_orders（视图）"} + kColumns + QStringList{"id"});
        QVERIFY(!view.contains("索引") && !view.join('|').contains("VIEW"));

        // Over ODBC: the sys.* statements, a table outside dbo, and text
        // beyond what GBK holds.
        const QString description = "物品 <&> ]]>\x01 😀";
        const std::vector<SqlServerName> items{{"sales", "Items"}};
        CTdsPeer peer("sa", "pw");
        peer.SetRoute([&](const QString& sql, const QString&) {
            if (sql == BuildCatalogQuery(kQueryTables, {}, {}, 1))
                return TdsReply({"name", "extpro", "schema"}, {{"Items", description, "sales"}});
            if (sql == BuildCatalogQuery(kQueryColumns, "Items", {}, 1, false, "sales"))
                return TdsReply(kColumnFields, {{"sku", "nvarchar", "-1", "0", "", "√", "", "", "编号😀"},
                                                {"oid", "int", "10", "0", "", "√", "", "", ""}});
            if (sql == BuildSqlServerIndexesOfTables(items))
                return TdsReply(kSqlServerIndexFields, {{"sales", "Items", "PK_Items", "sku", "1", "1"},
                                                        {"sales", "Items", "PK_Items", "oid", "1", "1"}});
            if (sql == BuildSqlServerForeignKeysOfTables(items))
                return TdsReply(kSqlServerForeignKeyFields, {{"sales", "Items", "FK_o", "oid", "dbo", "orders", "id",
                                                              "NO_ACTION", "SET_NULL"}});
            return sql == kCatalogProbe ? TdsReply() : TdsReply::Refusal("refused");
        });
        QVERIFY(peer.Start());
        const Ran odbc = Velmora(folder.path(), {"export", "--kind", "sqlserver", "--server", "127.0.0.1", "--port",
                                                   QString::number(peer.Port()), "--user", "sa", "--database", "S",
                                                   "-o", "s" + file}, "pw");
        QVERIFY2(odbc.status == 0, qPrintable(odbc.err));
        const QString heading = "sales.Items — 物品 <&> ]]>\\x01 😀";
        const QStringList expected = QStringList{heading} + kColumns
            + QStringList{"sku", "nvarchar", "MAX", "0", "", "√", "", "", "编号😀", "oid", "int", "10", "0", "", "√", "",
                          "", ""}
            + kIndexes + QStringList{"PK_Items", "sku, oid", "√", "√"} + kKeys
            + QStringList{"FK_o", "oid", "orders", "id", "NO ACTION", "SET NULL"};
        QCOMPARE(LastSection(folder.filePath("s" + file), heading), expected);
    }

    // The window's export to a Word document, and its workbook's key sheets.
    void window()
    {
        Window w;
        ConnectTestServer(w);
        Click(w->m_databaseList, "vel_doc");
        AnswerExport(w, w.folder.filePath("window.docx"));
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).constLast(), Success(w.folder.filePath("window.docx")));
        QCOMPARE(LastSection(w.folder.filePath("window.docx"), m_orders[0]).mid(0, m_orders.size()), m_orders);
        QVERIFY(!LastSection(w.folder.filePath("window.docx"), "v_orders（视图）").contains("索引"));

        AnswerExport(w, w.folder.filePath("window.xlsx"));
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).constLast(), Success(w.folder.filePath("window.xlsx")));
        QCOMPARE(Openpyxl("for s in ('Indexes','Foreign keys'):\n for r in b[s].iter_rows(): print('|'.join(c.value or '' for c in r))",
                          {w.folder.filePath("window.xlsx")}),
                 "Table|Index|Columns|Unique|Primary\ncustomers|PRIMARY|id|√|√\ncustomers|uq_email|email|√|\n"
                 "orders|PRIMARY|id|√|√\norders|ix_cust|customer_id, placed||\nTable|Key|Columns|References|"
                 "Referenced columns|On delete|On update\norders|fk_cust|customer_id|customers|id|CASCADE|RESTRICT\n");
    }

    // Qt's own save dialog puts a type's suffix in place of whatever follows
    // the last dot; the default name keeps its dots, the type's suffix added.
    void saveDialogType_data()
    {
        QTest::addColumn<QString>("filter");
        for (const char* filter : {"Word Document (*.docx)", "HTML Page (*.html)", "Excel Workbook (*.xlsx)"})
            QTest::newRow(filter) << QString(filter);
    }
    void saveDialogType()
    {
        QFETCH(QString, filter);
        Window w;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* types = dialog ? dialog->findChild<QComboBox*>("fileTypeCombo") : nullptr;
            if (types) { // as a choice in the list: the index changes, then the choice is announced
                const int index = types->findText(filter);
                types->setCurrentIndex(index);
                emit types->activated(index);
                emit types->textActivated(filter);
            }
            if (dialog)
                static_cast<QDialog*>(dialog)->accept(); // the dialog's own check of the name runs
        });
        QCOMPARE(QFileInfo(w->SaveFileDialog("127.0.0.1-shop")).fileName(), "127.0.0.1-shop." + filter.section('.', -1).chopped(1));
    }

    void visibleEscapes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("kept") << QString("<&>]]>\t\r\n😀 \\x01") << QString("<&>]]>\t\r\n😀 \\x01");
        QTest::newRow("controls") << QString("a\x01" "b") + QChar(0) + "\x1F" << QString("a\\x01b\\x00\\x1F");
        QTest::newRow("noncharacters") << QString("x") + QChar(0xFFFE) + QChar(0xFFFF) << QString("x\\uFFFE\\uFFFF");
        QTest::newRow("lone surrogates") << QString(QChar(0xD83D)) + "a" + QChar(0xDE00) << QString("\\uD83Da\\uDE00");
    }
    void visibleEscapes()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(DocumentText(text), shown);
    }
};

QTEST_MAIN(TestDocumentExport)
#include "TestDocumentExport.moc"
