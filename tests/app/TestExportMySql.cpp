#include "support/WindowHarness.h"

#include "support/TcpRelay.h"

#include <csignal>
#include <cstring>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// The structure export through the real window: the file's bytes, its
// tables, and that no failure ever replaces a file that was there.

static QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Root writes into any folder; this takes that power from the calling thread
// and the threads it starts, until the object goes.
class NoFolderOverride
{
public:
    NoFolderOverride()
    {
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, m_saved, sizeof reduced);
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        ok = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~NoFolderOverride() { syscall(SYS_capset, &m_header, m_saved); }
    bool ok = false;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

class TestExportMySql : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;
    QTemporaryDir m_out;
    QStringList m_typesLines;

private slots:
    void initTestCase()
    {
        QVERIFY2(ConnectClient(m_admin), "the private MariaDB is not running");
        std::signal(SIGXFSZ, SIG_IGN); // a write past the size limit fails instead of killing us
        Run(m_admin, "create database vel_export character set utf8mb4");
        Run(m_admin, "create table vel_export.a_types ("
                     "id int not null auto_increment primary key comment '编号',"
                     "t text comment 'line1\\r\\nline2', mt mediumtext comment 'cr\\rlf\\nend',"
                     "lt longtext comment 'tab\\there', b blob, amount decimal(10,2) null,"
                     "note varchar(20) not null default '中文' comment '中文描述') comment '类型表'");
        Run(m_admin, "create table vel_export.b_plain (k int)");
        m_typesLines = QStringList{
            "a_types\tid\tint\t10\t0\t\t√\t√\t\t编号",
            "a_types\tt\ttext\t64K\t\t√\t\t\tNULL\tline1；line2",
            "a_types\tmt\tmediumtext\t16M\t\t√\t\t\tNULL\tcr；lf；end",
            "a_types\tlt\tlongtext\t4G\t\t√\t\t\tNULL\ttab here",
            "a_types\tb\tblob\t64K\t\t√\t\t\tNULL\t",
            "a_types\tamount\tdecimal\t10\t2\t√\t\t\tNULL\t",
            "a_types\tnote\tvarchar\t20\t\t\t\t\t'中文'\t中文描述",
        };

        // Names the server's collation mixes up, quotes, Chinese, names GBK
        // lacks, and a table of more than a few kilobytes of lines.
        Run(m_admin, "create database vel_names character set utf8mb4");
        for (const char* table : {"create table vel_names.aa (x int, y varchar(5) comment 'aa的y')",
                                  "create table vel_names.Aa (z int comment 'Aa的z')",
                                  "create table vel_names.`ä` (w int)", "create table vel_names.a (v text)",
                                  "create table vel_names.`it's` (q int comment 'o''k')",
                                  "create table vel_names.`表一` (c1 int comment '说明', c2 longblob)",
                                  "create table vel_names.t1 (id int primary key)",
                                  "create table vel_names.t2 (id bigint not null auto_increment primary key)",
                                  "create table vel_names.t3 (d datetime default current_timestamp)",
                                  "create table vel_names.`weiß_✓` (`größe` int comment 'ß✓™한') comment 'ñ€한국'"})
            Run(m_admin, QString::fromUtf8(table));
        QString wide = "create table vel_names.wide (c0 int";
        for (int i = 1; i < 60; ++i)
            wide += QStringLiteral(", c%1 varchar(30) comment '第%1列的说明'").arg(i);
        Run(m_admin, wide + ")");
        Run(m_admin, "create database vel_noTables");
        Run(m_admin, "create database vel_part");
    }
    void cleanupTestCase()
    {
        for (const char* db : {"vel_export", "vel_names", "vel_noTables", "vel_part"})
            m_admin.Query(std::string("drop database if exists ") + db);
    }

    // All tables, one table, none, one lost mid-export, chunked statements
    // against per-table ones (names the collation confuses, names GBK lacks), a
    // long default name, a cancel: the files byte for byte, and the messages.
    void exportFiles()
    {
        Window w;
        const QString path = m_out.filePath("files.txt"), host = Server().host;
        QString offered;
        AnswerExport(w, path, &offered);
        ConnectTestServer(w);
        Click(w->m_databaseList, "vel_export");
        const QStringList enabled = Enabled(w);
        Export(w);
        QCOMPARE(offered, host + "-vel_export");
        QCOMPARE(ReadAll(path),
                 Utf16File(QStringList{kHeader} + m_typesLines + QStringList{"b_plain\tk\tint\t10\t0\t√\t\t\tNULL\t"}));
        QCOMPARE(std::exchange(w.messages, {}),
                 QStringList({"提示|0x124|是否导出\n服务器: 【" + host + "】\n数据库: 【vel_export】中的所有表结构？",
                              Success(path)}));
        QCOMPARE(Enabled(w), enabled);
        QVERIFY(w->Control(1030)->isVisible() && !w->m_progress->isVisible());

        Click(w->m_tableList, "a_types");
        Export(w);
        QCOMPARE(offered, host + "-vel_export-a_types");
        QCOMPARE(ReadAll(path), Utf16File(QStringList{kHeader} + m_typesLines));
        QCOMPARE(std::exchange(w.messages, {}),
                 QStringList({"提示|0x124|是否导出\n服务器: 【" + host + "】\n数据库: 【vel_export】中表: 【a_types】的结构？",
                              "提示|0x124|文件: " + path + " 已经存在，是否覆盖？", Success(path)}));
        QVERIFY(w.Edit(1022)->isEnabled());

        Click(w->m_databaseList, "vel_noTables");
        Export(w);
        QCOMPARE(ReadAll(path), Utf16File({kHeader}));
        QCOMPARE(w.messages.size(), 2); // the two questions; no success
        QVERIFY(!std::exchange(w.messages, {}).join(u'\n').contains(u"已经导出成功"));

        // A table that cannot be read is named and left out; the rest is kept.
        // With none read the file stays as it was, and the message says so.
        const QString kept = "%1\tk\tint\t10\t0\t√\t\t\tNULL\t";
        const QByteArray written = Utf16File({kHeader, kept.arg("p1"), kept.arg("p3")});
        for (const QStringList& dropped : {QStringList{"p2"}, QStringList{"p2"}, QStringList{"p1", "p2", "p3"}}) {
            for (const char* table : {"p1", "p2", "p3"})
                Run(m_admin, QStringLiteral("create or replace table vel_part.%1 (k int)").arg(table));
            Click(w->m_databaseList, "vel_export");
            Click(w->m_databaseList, "vel_part");
            w->m_exportChunk = w->m_exportChunk == 250 ? 0 : 250;
            for (const QString& table : dropped)
                Run(m_admin, "drop table vel_part." + table);
            Export(w);
            QCOMPARE(ReadAll(path), written);
            QStringList expected;
            for (const QString& table : dropped)
                expected << "警告|0x30|未查询到表 " + table + " 的字段，该表可能已被删除。";
            expected << (dropped.size() == 1 ? "警告|0x30|已导出到文件: " : "警告|0x30|文件未写入: ") + path + "\n" +
                    QString::number(dropped.size()) + " 个表未能导出: " + dropped.join(u"、");
            QCOMPARE(std::exchange(w.messages, {}).mid(2), expected);
        }

        Click(w->m_databaseList, "vel_names");
        // Sorted, the list holds "Aa" and "aa" at rows 1 and 2: in a chunk of
        // two the server returns the rows of only one of them.
        QCOMPARE(Rows(w->m_tableList).mid(0, 3), QStringList({"a|", "Aa|", "aa|"}));
        QVERIFY(Rows(w->m_tableList).contains(u"weiß_✓|ñ€한국"_qs));
        QByteArray perTable;
        for (int chunk : {0, 2, 3, 250}) {
            w->m_exportChunk = chunk;
            Export(w);
            QVERIFY2(w.messages.last() == Success(path), qPrintable(w.messages.join(u'\n')));
            w.messages.clear();
            if (chunk == 0)
                perTable = ReadAll(path);
            else
                QCOMPARE(ReadAll(path), perTable);
        }
        const QString text = QStringDecoder(QStringDecoder::Utf16LE).decode(perTable.mid(2));
        QCOMPARE(text.count(u"\r\n"), 1 + 2 + 1 + 1 + 1 + 1 + 2 + 1 + 1 + 1 + 60 + 1);
        for (const char* line : {"Aa\tz\tint\t10\t0\t√\t\t\tNULL\tAa的z\r\n", "aa\tx\tint\t10\t0\t√\t\t\tNULL\t\r\n",
                                 "a\tv\ttext\t64K\t\t√\t\t\tNULL\t\r\n", "it's\tq\tint\t10\t0\t√\t\t\tNULL\to'k\r\n",
                                 "表一\tc2\tlongblob\t4G\t\t√\t\t\tNULL\t\r\n",
                                 "\r\nweiß_✓\tgröße\tint\t10\t0\t√\t\t\tNULL\tß✓™한\r\n"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), line);
        Click(w->m_tableList, u"weiß_✓"_qs);
        QCOMPARE(Rows(w->m_columnList), QStringList{u"größe|int|10|0|√|||NULL|ß✓™한"_qs});

        AnswerExport(w, QString(), &offered);
        Click(w->m_databaseList, "vel_export");
        Click(w->m_tableList, "b_plain");
        w->m_server = QString(300, u'服');
        Export(w);
        QCOMPARE(offered, QString(300, u'服') + "-vel_export-b_plain");
        QCOMPARE(std::exchange(w.messages, {}).size(), 1);
        QCOMPARE(Entries(m_out.path()), QStringList{"files.txt"});
        QCOMPARE(ReadAll(path), perTable);
    }

    // Every failure leaves the file that was there byte for byte and no
    // copy beside it; the window works again and the next export succeeds.
    void failuresKeepTheOldFile_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("connection_refused") << "refused" << "警告|0x30|打开数据库失败...\n";
        QTest::newRow("folder_and_file_not_writable") << "folder" << "警告|0x30|无法打开文件: ";
        QTest::newRow("file_size_limit") << "size" << "警告|0x30|写入文件失败: ";
        // Not a failure: a writable file in a folder that cannot hold the copy is written in place.
        QTest::newRow("folder_not_writable") << "direct" << "提示|0x40|已经导出成功";
    }
    void failuresKeepTheOldFile()
    {
        QFETCH(QString, failure);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QString path = folder.filePath("old.txt");
        const QByteArray old = "the file that was there\n" + QByteArray(100, 'x');
        QVERIFY(WriteAll(path, old));
        // Capabilities are a thread's own: the window's worker takes them
        // from the thread that starts it, at Connect.
        std::unique_ptr<NoFolderOverride> noOverride;
        if (geteuid() == 0 && (failure == "folder" || failure == "direct")) {
            noOverride = std::make_unique<NoFolderOverride>();
            QVERIFY(noOverride->ok);
        }
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        AnswerExport(w, path);
        ConnectTestServer(w, relay.Port());
        Click(w->m_databaseList, "vel_names");
        w->m_exportChunk = 1;
        const QStringList enabled = Enabled(w);

        rlimit size{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &size), 0);
        if (failure == "refused") {
            relay.Cut();
        } else if (failure != "size") {
            QVERIFY(failure == "direct" || QFile::setPermissions(path, QFileDevice::ReadOwner));
            QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        } else {
            const rlimit limit{4096, size.rlim_max};
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
        Export(w);
        setrlimit(RLIMIT_FSIZE, &size);
        noOverride.reset();
        relay.Resume();
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        const QByteArray inPlace = ReadAll(path);
        QCOMPARE(inPlace == old, failure != "direct");
        QCOMPARE(Entries(folder.path()), QStringList{"old.txt"});
        QStringList messages = std::exchange(w.messages, {});
        // The two questions come first.
        QVERIFY2(messages.size() >= 3 && messages[2].startsWith(message), qPrintable(messages.join(u'\n')));
        if (failure != "refused" && failure != "direct") {
            QCOMPARE(messages.size(), 3);
            QVERIFY2(messages[2].contains(path + u'\n') && !messages[2].endsWith(u'\n'), qPrintable(messages[2]));
        }
        QCOMPARE(messages.join(u'\n').contains(u"已经导出成功"), failure == "direct");
        QCOMPARE(Enabled(w), enabled);
        QVERIFY(w->Control(1030)->isVisible() && !w->m_progress->isVisible());

        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).last(), Success(path));
        QVERIFY(ReadAll(path).startsWith(Utf16File({kHeader})));
        QCOMPARE(ReadAll(path) == inPlace, failure == "direct");
        QCOMPARE(Entries(folder.path()), QStringList{"old.txt"});
    }
};

QTEST_MAIN(TestExportMySql)
#include "TestExportMySql.moc"
