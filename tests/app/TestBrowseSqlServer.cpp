#include "ExportDriving.h"

#include "support/TdsPeer.h"
#include "ui/StatusLabel.h"

// The SQL Server road through the window, unixODBC and FreeTDS to the TDS
// peer, which answers only the statements written out below.

using namespace Qt::StringLiterals;

namespace {

const QString kHost = u"127.0.0.1"_s;
const QString kUser = u"velmora"_s;
const QString kPassword = u" Vel;mo=ra{pw "_s; // arrives only when braced
const QString kLongTable = u"订单"_s.repeated(40) + u"x"_s.repeated(60);
// 2,049 units: past a TDS packet, a surrogate pair across the driver's pieces
const QString kLongColumn = u"描述"_s.repeated(1023) + u"\U0001F600e"_s;
const QStringList kFields = {u"name"_s, u"type"_s, u"length"_s, u"dec"_s, u"null"_s,
                             u"key"_s, u"auto"_s, u"default"_s, u"desc"_s};

struct Table {
    QString name;
    QString description;
    QStringList columns; // as the server sends them, fields joined by '|'; NULL stands for NULL
    QString schema = u"dbo"_s;
};

const Table kSales[] = {
    {u"Customers"_s, {}, {u"name|nvarchar|100|0||||| "_s}},
    {u"Orders"_s, kLongTable + u"  "_s,
     {u"id|int|10|0||√|√||编号"_s, u"title|nvarchar|50|0|√|||(N'无')|it's 100%  "_s, u"price|decimal|12|3||||((0))|"_s,
      u"notes|ntext|1073741823|0|√||||"_s, u"body|text|2147483647|0|√||||"_s, u"photo|image|2147483647|0|√||||"_s,
      u"memo|varchar|-1|0|√||||"_s + kLongColumn, u"tag|sql_variant|NULL|0|√||||NULL"_s}},
    {u"客户's\\ log"_s, {}, {u"it's|datetime|23|3|√||||货号"_s}},
};

const QStringList kOrdersColumns = {
    u"id|int|10|0||√|√||编号"_s,       u"title|nvarchar|50|0|√|||(N'无')|it's 100%"_s,
    u"price|decimal|12|3||||((0))|"_s, u"notes|ntext|1G|0|√||||"_s,
    u"body|text|2G|0|√||||"_s,         u"photo|image|2G|0|√||||"_s,
    u"memo|varchar|MAX|0|√||||"_s + kLongColumn, u"tag|sql_variant||0|√||||"_s,
};

// What the program must send, written once.
const QString kProbe = u"select 1 from sysobjects where [name] = 'sysproperties'"_s;
const QString kDatabases = u"SELECT [name] FROM sysdatabases WHERE [name] NOT IN "
                           "('master','msdb','model','tempdb','ReportServer','ReportServerTempDB')"_s;

QString Literal(const QString& text)
{
    return QString(text).replace(u'\'', u"''"_s);
}

QString TablesSql(int kind)
{
    return u"SELECT [name]=T.[name],[extpro]=CONVERT(NVARCHAR(4000),isnull(G.[value],'')),"_s
        + (kind == 0 ? u"[schema]=USER_NAME(T.[uid]) "_s : u"[schema]=SCHEMA_NAME(T.[uid]) "_s)
        + (kind == 0 ? u"FROM sysobjects T LEFT JOIN sysproperties G on T.[id]=G.[id] AND G.[smallid]=0 AND G.[type]=3 "
                       "AND G.[name]='MS_Description' WHERE T.[xtype]='U' AND T.[name]<>'dtproperties'"_s
                     : u"FROM sys.sysobjects T LEFT JOIN sys.extended_properties G ON (T.[id]=G.[major_id] AND "
                       "G.[minor_id] = 0 AND G.[class]=1 AND G.[name]='MS_Description') WHERE T.[xtype]='U'"_s);
}

QString ColumnsSql(int kind, const Table& table)
{
    return u"SELECT [name]=C.[name],[type]=T.[name],[length]=COLUMNPROPERTY(C.[id],C.[name],'PRECISION'),"
           "[dec]=isnull(COLUMNPROPERTY(C.[id],C.[name],'Scale'),0),"
           "[null]=case when convert(bit,C.[IsNullable])=1 then N'√' else '' end ,"
           "[key]=case when exists(SELECT 1 FROM sysobjects where [xtype]='PK' and [parent_obj]=C.[id] and [name] in "
           "( \t\t\t\tSELECT [name] FROM sysindexes WHERE [indid] in (SELECT [indid] FROM sysindexkeys WHERE "
           "[id] = C.[id] AND [colid]=C.[colid]))) then N'√' else '' end,"
           "[auto]=case when convert(bit,COLUMNPROPERTY(C.[id],C.[name],'IsIdentity'))=1 then N'√' else '' end,"
           "[default]=isnull(CM.[text],''),[desc]=isnull(ETP.[value],'') "
           "FROM syscolumns C left JOIN systypes T on C.[xusertype]=T.[xusertype] inner JOIN sysobjects D on "
           "C.[id]=D.[id] and D.[xtype]='U' and D.[name]<>'dtproperties' "
           "left JOIN syscomments CM on C.[cdefault]=CM.[id] "_s
        + (kind == 0 ? u"left JOIN sysproperties ETP on C.[id]=ETP.[id] and C.[colid]=ETP.[smallid] and "
                       "ETP.[name]='MS_Description' "_s
                     : u"left JOIN sys.extended_properties ETP ON ETP.[major_id]=C.[id] AND ETP.[minor_id]=C.[colid] "
                       "AND ETP.[class]=1 AND ETP.[name]='MS_Description' "_s)
        + u"WHERE D.[name]=N'"_s + Literal(table.name) + u"' AND D.[uid]="_s
        + (kind == 0 ? u"USER_ID"_s : u"SCHEMA_ID"_s) + u"(N'"_s + Literal(table.schema) + u"')"_s;
}

// The owner level: USER for dbo and SQL Server 2000's owners, else SCHEMA.
QString Owner(int kind, const Table& table)
{
    return (kind == 0 || table.schema == u"dbo"_s ? u"N'USER',N'"_s : u"N'SCHEMA',N'"_s) + Literal(table.schema)
        + u"',N'TABLE',N'"_s + Literal(table.name) + u'\'';
}

QString DescriptionSql(int kind, bool add, const QString& text, const Table& table, const QString& column = {})
{
    return u"EXEC sp_"_s + (add ? u"add"_s : u"update"_s) + u"extendedproperty N'MS_Description',N'"_s + Literal(text)
        + u"',"_s + Owner(kind, table) + (column.isEmpty() ? QString() : u",N'COLUMN',N'"_s + Literal(column) + u'\'');
}

// The description read back, or with `count` how many there are.
QString ReadBackSql(int kind, const Table& table, const QString& column = {}, bool count = false)
{
    return (count ? u"SELECT [found]=COUNT(*)"_s : u"SELECT [value]=CONVERT(NVARCHAR(4000),[value])"_s)
        + u" FROM ::fn_listextendedproperty(N'MS_Description',"_s
        + Owner(kind, table) + (column.isEmpty() ? u",NULL,NULL)"_s : u",N'COLUMN',N'"_s + Literal(column) + u"')"_s);
}

// The peer's answers by database and statement, as the log shows them.
using Replies = QHash<QString, TdsReply>;
QString Key(const QString& database, const QString& statement)
{
    return database + u'|' + statement;
}

// The controls a failed connection hands back.
const QStringList kConnectionControls = {u"1000"_s, u"1004"_s, u"1013"_s, u"1014"_s, u"1015"_s, u"1017"_s};

const QString kDriver = u"[FreeTDS][SQL Server]"_s;
const QString kWarning = u"警告|0x30|"_s + kDriver;
const QString kEof = u"Unexpected EOF from the server"_s;

// failure: what the window shows; empty: it connects
struct Login { int catalog; QStringList drivers; QString password, connection, failure; };
// failure: the server's text, or kEof for a dropped link
struct Describe { int catalog, table; QString column; bool add; QString failure; };

} // namespace

class TestBrowseSqlServer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_odbcDir; // private driver registry: the machine's stays untouched
    CTdsPeer m_peer{kUser, kPassword};

    QString TracePath() const { return m_odbcDir.filePath(u"trace.log"_s); }

    // The driver manager reads its trace setting for the first environment
    // of the process only, so it is always on.
    void RegisterDrivers(const QStringList& names)
    {
        QFile::remove(TracePath());
        QVERIFY(RegisterOdbcDrivers(m_odbcDir.path(), names, TracePath()));
    }

    // A server of the catalog kind with Sales and an empty Archive, then `change`.
    void Serve(int kind, const std::function<void(Replies&)>& change = {})
    {
        Replies replies;
        replies[Key(u"master"_s, kProbe)] = TdsReply({QString()}, std::vector<QStringList>(kind == 0, {u"1"_s}));
        replies[Key(u"master"_s, kDatabases)] = TdsReply({u"name"_s}, {{u"Archive  "_s}, {u"Sales"_s}});
        TdsReply tables({u"name"_s, u"extpro"_s, u"schema"_s});
        for (const Table& table : kSales) {
            tables.rows.push_back({table.name, table.description, table.schema});
            TdsReply& columns = replies[Key(u"Sales"_s, ColumnsSql(kind, table))] = TdsReply(kFields);
            for (const QString& row : table.columns) {
                columns.rows.push_back(row.split(u'|'));
                std::replace(columns.rows.back().begin(), columns.rows.back().end(), u"NULL"_s, QString());
            }
        }
        replies[Key(u"Sales"_s, TablesSql(kind))] = tables;
        replies[Key(u"Archive"_s, TablesSql(kind))] = TdsReply({u"name"_s, u"extpro"_s, u"schema"_s});
        if (change)
            change(replies);
        m_peer.SetRoute([replies](const QString& statement, const QString& database) {
            return replies.value(Key(database, statement), TdsReply::Refusal(u"Unknown statement: "_s + statement));
        });
    }

    void Connect(Window& w) { ::Connect(w, kHost, QString::number(m_peer.Port()), kUser, kPassword); }

    QStringList Log() const
    {
        QStringList log;
        for (const TdsBatch& batch : m_peer.Batches())
            log << Key(batch.database, batch.text);
        return log;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_odbcDir.isValid() && UsePrivateOdbc(m_odbcDir.path()));
        QVERIFY(m_peer.Start());
    }
    void init()
    {
        RegisterDrivers({u"FreeTDS"_s});
        m_peer.ClearLog();
    }

    // The probe alone decides the catalog kind. The trace shows how the
    // connection string starts, PORT standing for the peer's port.
    void connect_data()
    {
        QTest::addColumn<Login>("row");
        const QStringList freeTds{u"FreeTDS"_s};
        const QString unable = kDriver + u"Unable to connect to data source"_s;
        QTest::newRow("sysproperties_freetds") << Login{0, freeTds, kPassword, u"Driver=FreeTDS;Server=127.0.0.1,PORT;"_s, {}};
        QTest::newRow("extended_properties_prefers_sql_server") << Login{1, {u"FreeTDS"_s, u"SQL Server"_s},
            kPassword, u"Driver=SQL Server;Server=127.0.0.1,PORT;"_s, {}};
        QTest::newRow("wrong_password") << Login{1, freeTds, u"wrong"_s, u"Driver=FreeTDS;Server=127.0.0.1,PORT;"_s,
                                                 u"Login failed for user 'velmora'.\n"_s + unable};
        QTest::newRow("empty_port_means_1433") << Login{1, freeTds, kPassword, u"Driver=FreeTDS;Server=127.0.0.1,1433;"_s,
            u"Unable to connect: Adaptive Server is unavailable or does not exist\n"_s + unable};
    }
    void connect()
    {
        QFETCH(Login, row);
        auto [catalog, drivers, password, connection, failure] = row;
        RegisterDrivers(drivers);
        Serve(catalog);
        Window w("[Database]\n"); // a file others may read, until it holds a password
        const QString port = QString::number(m_peer.Port());
        ::Connect(w, kHost, connection.contains(u"PORT"_s) ? port : QString(), kUser, password);
        connection.replace(u"PORT"_s, port) += u"Database=master;UID=velmora;PWD="_s;
        QFile trace(TracePath());
        QVERIFY(trace.open(QIODevice::ReadOnly));
        QVERIFY2(QString::fromUtf8(trace.readAll()).contains(u"Str In = ["_s + connection), qPrintable(connection));
        QVERIFY(!w->m_statusLabel->isVisible() && !w->m_progress->isVisible());
        if (!failure.isEmpty()) {
            QCOMPARE(std::exchange(w.messages, {}), QStringList{kWarning + failure});
            QCOMPARE(Enabled(w), kConnectionControls);
            QVERIFY(!QSettings(u"Pell.ini"_s, QSettings::IniFormat).contains(kHost + u"/Type"_s));
            return;
        }
        QCOMPARE(w.messages, QStringList());
        QCOMPARE(w->m_kind, catalog);
        QCOMPARE(Rows(w->m_databaseList), (QStringList{u"Archive"_s, u"Sales"_s}));
        QCOMPARE(Enabled(w), (QStringList{u"1000"_s, u"1001"_s}));
        QCOMPARE(Log(), (QStringList{Key(u"master"_s, kProbe), Key(u"master"_s, kDatabases)}));
        QCOMPARE(CSettingsFile().Read("Pell.ini", kHost, "Type", "?"), u"SQLServer"_s);
        QCOMPARE(QFile::permissions(u"Pell.ini"_s) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        // Exit closes a connection left open.
        QVERIFY(w->OpenConnection(kHost, port, u"Sales"_s, kUser, kPassword));
        QTRY_COMPARE(m_peer.Sessions(), size_t{1});
        QTest::mouseClick(w->Control(1006), Qt::LeftButton);
        QTRY_COMPARE(m_peer.Sessions(), size_t{0});
    }

    // A listing or an export cut off with the link: a message, the lists and
    // controls as they were, the export keeping the table read before and
    // naming the rest once; with the link back, all rows, byte for byte.
    void listingsAndExport()
    {
        const QStringList enabled[] = {kConnectionControls, {u"1000"_s, u"1001"_s},
                                       {u"1000"_s, u"1001"_s, u"1002"_s, u"1022"_s, u"1030"_s}};
        const QStringList shown[] = {
            {u"Archive"_s, u"Sales"_s}, {u"Customers|"_s, u"Orders|"_s + kLongTable, u"客户's\\ log|"_s}, kOrdersColumns};
        Window w;
        QTreeWidget* const lists[] = {w->m_databaseList, w->m_tableList, w->m_columnList};
        for (int step = 0; step < 3; ++step) {
            const int catalog = step == 1 ? 0 : 1;
            const QString cut[] = {Key(u"master"_s, kDatabases), Key(u"Sales"_s, TablesSql(catalog)),
                                   Key(u"Sales"_s, ColumnsSql(catalog, kSales[1]))};
            Serve(catalog, [&](Replies& replies) { replies[cut[step]].cutAfter = 1; });
            Connect(w);
            if (step > 0)
                Click(w->m_databaseList, u"Sales"_s);
            if (step == 2)
                Click(w->m_tableList, u"Orders"_s);
            QCOMPARE(std::exchange(w.messages, {}), QStringList{kWarning + kEof});
            QVERIFY(!w->m_statusLabel->isVisible() && !w->m_progress->isVisible());
            QCOMPARE(Rows(lists[step]), QStringList());
            QCOMPARE(Enabled(w), enabled[step]);
            Serve(catalog);
            if (step == 0)
                Connect(w);
            for (const QString& name : step == 2 ? QStringList{u"Customers"_s, u"Orders"_s}
                                                 : QStringList{u"Archive"_s, u"Sales"_s})
                Click(lists[step == 2 ? 1 : 0], name);
            QCOMPARE(Rows(lists[step]), shown[step]);
        }

        QTemporaryDir out;
        const QString path = out.filePath(u"sales.txt"_s);
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        Serve(1, [](Replies& replies) { replies[Key(u"Sales"_s, ColumnsSql(1, kSales[1]))].cutAfter = 1; });
        AnswerExport(w, path);
        Click(w->m_databaseList, u"Archive"_s);
        Click(w->m_databaseList, u"Sales"_s);
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).mid(2),
                 (QStringList{kWarning + kEof, u"警告|0x30|已导出到文件: %1\n2 个表未能导出: Orders、客户's\\ log"_s.arg(path)}));
        const QString customers = u"Customers\tname\tnvarchar\t100\t0\t\t\t\t\t"_s;
        QCOMPARE(ReadAll(path), Utf16File({kHeader, customers}));

        Serve(1);
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).last(), Success(path));
        QStringList lines{kHeader, customers};
        for (const QString& row : kOrdersColumns)
            lines << u"Orders\t"_s + QString(row).replace(u'|', u'\t');
        QCOMPARE(ReadAll(path), Utf16File(lines << u"客户's\\ log\tit's\tdatetime\t23\t3\t√\t\t\t\t货号"_s));
    }

    // A description goes in as added where the list showed none, else as
    // updated, exactly as typed. Refused, or cut off with the link: the
    // server's or the driver's text, the button still on, the lists as they
    // were; the next press sends the same statement again.
    void describe_data()
    {
        QTest::addColumn<Describe>("c");
        QTest::newRow("table_add") << Describe{0, 2, {}, true, {}};
        QTest::newRow("column_add") << Describe{1, 1, u"price"_s, true, {}};
        QTest::newRow("column_update") << Describe{0, 2, u"it's"_s, false, {}};
        QTest::newRow("table_add_refused") << Describe{1, 0, {}, true,
            u"Property cannot be added. Property 'MS_Description' already exists for 'Customers'."_s};
        QTest::newRow("column_update_refused") << Describe{1, 1, u"id"_s, false,
            u"Property cannot be updated or deleted. Property 'MS_Description' does not exist for 'Orders.id'."_s};
        QTest::newRow("table_update_dropped") << Describe{1, 1, {}, false, kEof};
        QTest::newRow("column_add_dropped") << Describe{0, 1, u"price"_s, true, kEof};
        QTest::newRow("column_stored_otherwise") << Describe{1, 1, u"price"_s, true, u"stored:cut"_s};
        // The list shows an empty property as none; the server has it.
        QTest::newRow("table_empty_property") << Describe{1, 2, {}, false, {}};
    }
    void describe()
    {
        QFETCH(Describe, c);
        const auto [catalog, table, column, add, failure] = c;
        const QString text = u"it's Bob''s 'table', 100% of %s %1 %d, 客户‘引号’√"_s;
        const QString sent = Key(u"Sales"_s, DescriptionSql(catalog, add, text, kSales[table], column));
        const QString readBack = Key(u"Sales"_s, ReadBackSql(catalog, kSales[table], column));
        const QString stored = failure.startsWith(u"stored:"_s) ? failure.mid(7) : text;
        const QString count = Key(u"Sales"_s, ReadBackSql(catalog, kSales[table], column, true));
        Serve(catalog, [&](Replies& replies) {
            replies[count] = TdsReply({u"found"_s}, {{add ? u"0"_s : u"1"_s}});
            replies[readBack] = TdsReply({u"value"_s}, {{stored}});
            replies[sent] = TdsReply::Refusal(failure == kEof || stored != text ? QString() : failure);
            replies[sent].hangUp = failure == kEof;
        });
        Window w;
        Connect(w);
        Click(w->m_databaseList, u"Sales"_s);
        Click(w->m_tableList, kSales[table].name);
        if (!column.isEmpty())
            Click(w->m_columnList, column);
        QLineEdit* const field = w.Edit(column.isEmpty() ? 1022 : 1024);
        QWidget* const button = w->Control(column.isEmpty() ? 1021 : 1020);
        Retype(field, text);
        const QStringList tables = Rows(w->m_tableList), columns = Rows(w->m_columnList);
        const QTreeWidget* const list = column.isEmpty() ? w->m_tableList : w->m_columnList;
        const QStringList attempt = list->currentItem()->text(column.isEmpty() ? 1 : 8).isEmpty()
            ? QStringList{count, sent} : QStringList{sent};
        m_peer.ClearLog();
        QTest::mouseClick(button, Qt::LeftButton);
        QTreeWidgetItem* const row = (column.isEmpty() ? w->m_tableList : w->m_columnList)->currentItem();
        if (stored != text) { // written, but not as typed: told, and shown as the server holds it
            QCOMPARE(std::exchange(w.messages, {}), QStringList{u"警告|0x30|服务器保存的描述与输入的不一致，"
                                                                "描述未按输入更新。\n服务器现在保存的描述为：\n"_s + stored});
            QVERIFY(button->isEnabled());
            QCOMPARE(row->text(column.isEmpty() ? 1 : 8), stored);
            return;
        }
        if (!failure.isEmpty()) {
            QCOMPARE(std::exchange(w.messages, {}), QStringList{kWarning + failure});
            QVERIFY(button->isEnabled() && !w->m_statusLabel->isVisible());
            QCOMPARE(Rows(w->m_tableList), tables);
            QCOMPARE(Rows(w->m_columnList), columns);
            Serve(catalog, [&](Replies& replies) {
                replies[count] = TdsReply({u"found"_s}, {{u"0"_s}});
                replies[sent] = {};
                replies[readBack] = TdsReply({u"value"_s}, {{text}});
            });
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(w.messages, QStringList());
        QVERIFY(!button->isEnabled() && !w->m_statusLabel->isVisible());
        QCOMPARE(Log(), (failure.isEmpty() ? attempt : attempt + attempt) + QStringList{readBack});
        QCOMPARE(row->text(column.isEmpty() ? 1 : 8), text);
    }

    // Two tables of one name, in dbo and in sales: each lists its own
    // columns, and a description of sales.x lands on sales.x exactly, also
    // with characters GBK and the BMP lack.
    void schemas()
    {
        const Table dbo{u"x"_s, {}, {u"a|int|10|0|√||||"_s}}, sales{u"x"_s, u"销售"_s, {u"b|int|10|0|√||||"_s}, u"sales"_s};
        const QString text = u"ß✓😀 weiß"_s;
        const QStringList sent = {Key(u"Archive"_s, ReadBackSql(1, sales, u"b"_s, true)),
                                  Key(u"Archive"_s, DescriptionSql(1, true, text, sales, u"b"_s)),
                                  Key(u"Archive"_s, ReadBackSql(1, sales, u"b"_s))};
        Serve(1, [&](Replies& replies) {
            replies[sent[0]] = TdsReply({u"found"_s}, {{u"0"_s}});
            replies[Key(u"Archive"_s, TablesSql(1))].rows = {{u"x"_s, {}, u"dbo"_s}, {u"x"_s, u"销售"_s, u"sales"_s}};
            for (const Table* table : {&dbo, &sales})
                replies[Key(u"Archive"_s, ColumnsSql(1, *table))] = TdsReply(kFields, {table->columns[0].split(u'|')});
            replies[sent[1]] = {};
            replies[sent[2]] = TdsReply({u"value"_s}, {{text}});
        });
        Window w;
        Connect(w);
        Click(w->m_databaseList, u"Archive"_s);
        QCOMPARE(Rows(w->m_tableList), (QStringList{u"sales.x|销售"_s, u"x|"_s}));
        Click(w->m_tableList, u"x"_s);
        QCOMPARE(Rows(w->m_columnList), QStringList{u"a|int|10|0|√||||"_s});
        Click(w->m_tableList, u"sales.x"_s);
        Click(w->m_columnList, u"b"_s);
        w.Edit(1024)->setText(text);
        emit w.Edit(1024)->textEdited(text);
        m_peer.ClearLog();
        QTest::mouseClick(w->Control(1020), Qt::LeftButton);
        QCOMPARE(Log(), sent);
        QCOMPARE(Rows(w->m_columnList), QStringList{u"b|int|10|0|√||||"_s + text});
    }
};

QTEST_MAIN(TestBrowseSqlServer)
#include "TestBrowseSqlServer.moc"
