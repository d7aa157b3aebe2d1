#include "support/WindowHarness.h"

#include "catalog/CatalogRows.h"
#include "edit/DescriptionStatements.h"
#include "support/TcpRelay.h"
#include "support/TdsPeer.h"
#include "ui/StatusLabel.h"

#include <QTcpServer>

// The window over both server kinds: the private MariaDB, and unixODBC and
// FreeTDS to the TDS peer, which answers only the statements given below.

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

// The statements of a description write, as the edit statement tests pin them.
SqlServerTable Of(int kind, const Table& table)
{
    return {kind, table.schema, table.name};
}

QString DescriptionSql(int kind, bool add, const QString& text, const Table& table, const QString& column = {})
{
    const QString procedure = add ? u"sp_addextendedproperty"_s : u"sp_updateextendedproperty"_s;
    return column.isEmpty() ? SqlServerTableDescription(procedure, text, Of(kind, table))
                            : SqlServerColumnDescription(procedure, text, Of(kind, table), column);
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
const QString kOpenFailed = u"警告|0x30|打开数据库失败...\n"_s;

// kind: 0 SQL Server (the peer of that catalog kind), 1 MySQL. failure: what
// the window shows, a prefix where it ends in '~'; empty: it connects.
struct Login { int kind, catalog; QStringList drivers; QString host, port, password, connection, failure; };
// failure: the server's text, or kEof for a dropped link
struct Describe { int catalog, table; QString column; bool add; QString failure; };

} // namespace

class TestBrowse : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;
    const QString m_quoted = u"Tom's 数据库\\x"_s;
    QTcpServer m_silent; // accepts, never answers
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
        QVERIFY2(ConnectClient(m_admin), "the private MariaDB is not running");
        Run(m_admin, "create database vel_browse");
        Run(m_admin, "create table vel_browse.orders (id int) comment '订单表'");
        Run(m_admin, "create table vel_browse.Customers (id int) comment 'Customers'");
        Run(m_admin, "create table vel_browse.z_types ("
                     "id int not null auto_increment primary key comment '编号',"
                     "t text, mt mediumtext, lt longtext, tt tinytext, b blob, mb mediumblob, lb longblob,"
                     "amount decimal(10,2) null, note varchar(20) not null default 'x' comment '备注 ') ");
        Run(m_admin, "create table vel_browse.bare (k int)");
        QString wide = "create table vel_browse.wide (c0 int";
        for (int i = 1; i < 400; ++i)
            wide += QStringLiteral(", c%1 int comment '%2'").arg(i).arg(QString(120, u'w'));
        Run(m_admin, wide + ")");
        Run(m_admin, u"create database `Tom's 数据库\\x`"_s);
        Run(m_admin, u"create table `Tom's 数据库\\x`.`it's` (id int) comment '引号''s'"_s);
        Run(m_admin, "create database vel_empty");
        Run(m_admin, u"create user '用户'@'127.0.0.1' identified by '密码pw'"_s);
        Run(m_admin, u"grant all on `Tom's 数据库\\\\x`.* to '用户'@'127.0.0.1'"_s);
        QVERIFY(m_silent.listen(QHostAddress::LocalHost));
        QVERIFY(m_odbcDir.isValid() && UsePrivateOdbc(m_odbcDir.path()));
        QVERIFY(m_peer.Start());
    }
    void init()
    {
        RegisterDrivers({u"FreeTDS"_s});
        m_peer.ClearLog();
    }
    void cleanupTestCase()
    {
        for (const char* db : {"vel_browse", "vel_empty"})
            m_admin.Query(std::string("drop database if exists ") + db);
        m_admin.Query(ToMySql(u"drop database if exists `Tom's 数据库\\x`"_s));
        m_admin.Query(ToMySql(u"drop user if exists '用户'@'127.0.0.1'"_s));
    }

    // The probe alone decides SQL Server's catalog kind; the trace shows the
    // connection string (PORT: the peer's). A failure leaves the settings file.
    void connection_data()
    {
        QTest::addColumn<Login>("row");
        const QStringList freeTds{u"FreeTDS"_s};
        const QString unable = kDriver + u"Unable to connect to data source"_s;
        const QString peer = u"Driver=FreeTDS;Server=127.0.0.1,PORT;"_s;
        QTest::newRow("sysproperties_freetds") << Login{0, 0, freeTds, kHost, u"PORT"_s, kPassword, peer, {}};
        QTest::newRow("extended_properties_prefers_sql_server") << Login{0, 1, {u"FreeTDS"_s, u"SQL Server"_s}, kHost,
            u"PORT"_s, kPassword, u"Driver=SQL Server;Server=127.0.0.1,PORT;"_s, {}};
        QTest::newRow("sqlserver_wrong_password") << Login{0, 1, freeTds, kHost, u"PORT"_s, u"wrong"_s, peer,
            kWarning + u"Login failed for user 'velmora'.\n"_s + unable};
        QTest::newRow("empty_port_means_1433") << Login{0, 1, freeTds, kHost, {}, kPassword,
            u"Driver=FreeTDS;Server=127.0.0.1,1433;"_s,
            kWarning + u"Unable to connect: Adaptive Server is unavailable or does not exist\n"_s + unable};
        QTest::newRow("mysql") << Login{1, 2, {}, Server().host, Server().port, Server().password, {}, {}};
        QTest::newRow("mysql_wrong_password") << Login{1, 2, {}, Server().host, Server().port, u"nope"_s, {},
                                                       kOpenFailed + u"1045 : Access denied for user~"_s};
        QTest::newRow("mysql_connect_timeout") << Login{1, 2, {}, Server().host, u"SILENT"_s, Server().password, {},
                                                        kOpenFailed + u"~"_s};
        QTest::newRow("empty_server") << Login{1, 2, {}, {}, {}, {}, {}, u"提示|0x40|未输入服务器，或服务器选择错误。"_s};
    }
    void connection()
    {
        QFETCH(Login, row);
        if (row.kind == 0) {
            RegisterDrivers(row.drivers);
            Serve(row.catalog);
        }
        Window w("[Database]\n"); // a file others may read, until it holds a password
        const QString peerPort = QString::number(m_peer.Port());
        const QString port = row.port == u"PORT"_s ? peerPort
            : row.port == u"SILENT"_s               ? QString::number(m_silent.serverPort()) : row.port;
        w->m_mysql.m_timeouts.connect = 1;
        const QByteArray settings = ReadAll(u"Pell.ini"_s);
        if (row.host.isEmpty()) {
            w->EnableConnectionControls(true);
            w->m_kind = 2;
        } else {
            Fill(w, row.host, port, row.kind ? Server().user : kUser, row.password, row.kind ? 1 : -1);
        }
        QElapsedTimer waited;
        waited.start();
        PressConnect(w);
        QVERIFY2(waited.elapsed() < 10000, qPrintable(QString::number(waited.elapsed())));
        if (row.kind == 0) {
            const QString connection = QString(row.connection).replace(u"PORT"_s, peerPort)
                + u"Database=master;UID=velmora;PWD="_s;
            QFile trace(TracePath());
            QVERIFY(trace.open(QIODevice::ReadOnly));
            QVERIFY2(QString::fromUtf8(trace.readAll()).contains(u"Str In = ["_s + connection), qPrintable(connection));
        }
        QVERIFY(!w->m_statusLabel->isVisible() && !w->m_progress->isVisible());
        if (!row.failure.isEmpty()) {
            const QStringList messages = std::exchange(w.messages, {});
            QCOMPARE(messages.size(), 1);
            QVERIFY2(row.failure.endsWith(u'~') ? messages[0].startsWith(row.failure.chopped(1))
                                                : messages[0] == row.failure, qPrintable(messages[0]));
            QCOMPARE(w->m_databaseList->topLevelItemCount(), 0);
            // An empty server leaves Connect off until a server is chosen or typed.
            QCOMPARE(Enabled(w), row.host.isEmpty() ? kConnectionControls.mid(0, 4) << u"1017"_s : kConnectionControls);
            QCOMPARE(ReadAll(u"Pell.ini"_s), settings);
            return;
        }
        QCOMPARE(w.messages, QStringList());
        QCOMPARE(w->m_kind, row.catalog);
        const QStringList databases = Rows(w->m_databaseList);
        if (row.kind == 0)
            QCOMPARE(databases, (QStringList{u"Archive"_s, u"Sales"_s}));
        else
            QVERIFY(databases.contains(u"vel_browse"_s) && databases.contains(m_quoted) && databases.contains(u"mysql"_s)
                    && !databases.join(u',').contains(u"information_schema"_s, Qt::CaseInsensitive));
        QCOMPARE(Text(w, 1007), u"数据库: %1"_s.arg(databases.size()));
        QCOMPARE(Enabled(w), (QStringList{u"1000"_s, u"1001"_s}));
        QVERIFY(w->Control(1030)->isVisible());
        QTRY_VERIFY(w->m_databaseList->hasFocus());
        QCOMPARE(w->m_serverCombo->itemText(0), row.host);
        QCOMPARE(CSettingsFile().Read("Pell.ini", row.host, "Type", "?"), row.kind ? u"MySQL"_s : u"SQLServer"_s);
        QCOMPARE(QFile::permissions(u"Pell.ini"_s) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        if (row.kind == 1)
            return;
        QCOMPARE(Log(), (QStringList{Key(u"master"_s, kProbe), Key(u"master"_s, kDatabases)}));
        // Exit closes a connection left open.
        QVERIFY(w->OpenConnection(kHost, peerPort, u"Sales"_s, kUser, kPassword));
        QTRY_COMPARE(m_peer.Sessions(), size_t{1});
        QTest::mouseClick(w->Control(1006), Qt::LeftButton);
        QTRY_COMPARE(m_peer.Sessions(), size_t{0});
    }

    // Chinese in the database, the user and the password reach the server as
    // meant; the quote and backslash in the name hold in either quoting mode.
    void chineseUserAndDatabase()
    {
        for (const QString& mode : {u"default"_s, u"'NO_BACKSLASH_ESCAPES'"_s}) {
            Run(m_admin, u"set global sql_mode="_s + mode);
            Window w;
            ::Connect(w, Server().host, Server().port, u"用户"_s, u"密码pw"_s, 1);
            QVERIFY(Rows(w->m_databaseList).contains(m_quoted));
            Click(w->m_databaseList, m_quoted);
            QCOMPARE(Rows(w->m_tableList), QStringList{u"it's|引号's"_s});
            Click(w->m_tableList, u"it's"_s);
            QCOMPARE(Rows(w->m_columnList), QStringList{u"id|int|10|0|√|||NULL|"_s});
        }
        Run(m_admin, u"set global sql_mode=default"_s);
    }

    // Listings on MySQL. A server that goes away between or during listings:
    // a message, the lists as they were, and a working window once it is back.
    void mySqlListings()
    {
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        ConnectTestServer(w, relay.Port());
        Click(w->m_databaseList, u"vel_browse"_s);
        QCOMPARE(Rows(w->m_tableList), QStringList({"bare|", "Customers|Customers", "orders|订单表", "wide|", "z_types|"}));
        QCOMPARE(Text(w, 1008), u"表: 5"_s);
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1030"}));
        QCOMPARE(w->m_tableRow, 0);

        Click(w->m_tableList, u"orders"_s);
        QCOMPARE(w.Edit(1022)->text(), u"订单表"_s);
        Click(w->m_tableList, u"z_types"_s);
        QCOMPARE(w->m_table, u"z_types"_s);
        QCOMPARE(Rows(w->m_columnList), QStringList({
            "id|int|10|0||√|√||编号", "t|text|64K||√|||NULL|", "mt|mediumtext|16M||√|||NULL|",
            "lt|longtext|4G||√|||NULL|", "tt|tinytext|255||√|||NULL|", "b|blob|64K||√|||NULL|",
            "mb|mediumblob|16M||√|||NULL|", "lb|longblob|4G||√|||NULL|", "amount|decimal|10|2|√|||NULL|",
            "note|varchar|20|||||'x'|备注 "}));
        QCOMPARE(Text(w, 1009), u"字段: 10"_s);
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1003", "1022", "1030"}));
        QTRY_VERIFY(w.Edit(1022)->hasFocus());
        QCOMPARE(w->m_columnRow, 0);
        // A column's update button, on once its text is typed, goes off with another table.
        Click(w->m_columnList, u"note"_s);
        Retype(w.Edit(1024), u"typed"_s);
        Click(w->m_tableList, u"orders"_s);
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1003", "1022", "1030"}));

        Click(w->m_databaseList, u"vel_empty"_s);
        QCOMPARE(Rows(w->m_tableList), QStringList());
        QCOMPARE(Rows(w->m_columnList), QStringList());
        QCOMPARE(Text(w, 1008), u"表: 0"_s);
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1003", "1030"}));

        Click(w->m_databaseList, u"vel_browse"_s);
        relay.Cut();
        Click(w->m_tableList, u"orders"_s);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(std::exchange(w.messages, {}).first().startsWith(kOpenFailed));
        QCOMPARE(w.Edit(1022)->text(), u"订单表"_s);
        QVERIFY(w.Edit(1022)->isEnabled() && !w->m_statusLabel->isVisible());

        relay.Resume();
        Click(w->m_tableList, u"wide"_s);
        QCOMPARE(w->m_columnList->topLevelItemCount(), 400);
        QTRY_VERIFY(relay.LargestServerBytes() > 40000); // the link closes after the rows are read
        relay.CutAfterServerBytes(relay.LargestServerBytes() / 2);
        Click(w->m_tableList, u"z_types"_s);
        Click(w->m_tableList, u"wide"_s);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(std::exchange(w.messages, {}).first().startsWith(u"警告|0x30|查询失败...\n"_s));
        QVERIFY(w->m_columnList->updatesEnabled() && !w->m_progress->isVisible());

        relay.CutAfterServerBytes(0);
        Click(w->m_tableList, u"orders"_s);
        Click(w->m_tableList, u"wide"_s);
        QCOMPARE(w->m_columnList->topLevelItemCount(), 400);

        // A listing long enough to show its label gives the controls and the focus back.
        relay.SetDelayMs(100);
        QStringList during;
        QTimer::singleShot(500, w.dlg.get(), [&] { during = Enabled(w); });
        Click(w->m_databaseList, u"vel_empty"_s);
        QCOMPARE(during, QStringList());
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1003", "1030"}));
        QVERIFY(w->m_databaseList->hasFocus() && !w->m_statusLabel->isVisible());

        // An export of every table that loses the link names each one it did not write.
        relay.SetDelayMs(0);
        Click(w->m_databaseList, u"vel_browse"_s);
        AnswerExport(w, w.folder.filePath(u"b.txt"_s));
        w->m_exportChunk = 1;
        relay.CutAfterServerBytes(relay.LargestServerBytes() / 2); // within the wide table
        Export(w);
        QVERIFY2(w.messages.last().endsWith(u"2 个表未能导出: wide、z_types"_s), qPrintable(w.messages.join(u'\n')));
        w.messages.clear();
    }

    // The same on SQL Server, and an export cut off with the link: it keeps
    // the table read before and names the rest once; with the link back, all.
    void sqlServerListingsAndExport()
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
        QVERIFY(WriteAll(path, "old"));
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
        const QString readBack = Key(u"Sales"_s, SqlServerDescriptionReadBack(Of(catalog, kSales[table]), column));
        const QString stored = failure.startsWith(u"stored:"_s) ? failure.mid(7) : text;
        const QString count = Key(u"Sales"_s, SqlServerDescriptionCount(Of(catalog, kSales[table]), column));
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
        QTreeWidgetItem* const row = (column.isEmpty() ? w->m_tableList : w->m_columnList)->currentItem();
        const int shown = column.isEmpty() ? 1 : 8;
        const QStringList attempt = row->text(shown).isEmpty() ? QStringList{count, sent} : QStringList{sent};
        m_peer.ClearLog();
        QTest::mouseClick(button, Qt::LeftButton);
        if (stored != text) { // written, but not as typed: told, and shown as the server holds it
            QCOMPARE(std::exchange(w.messages, {}), QStringList{u"警告|0x30|服务器保存的描述与输入的不一致，"
                                                                "描述未按输入更新。\n服务器现在保存的描述为：\n"_s + stored});
            QVERIFY(button->isEnabled());
            QCOMPARE(row->text(shown), stored);
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
        QCOMPARE(row->text(shown), text);
    }

    // Two tables of one name, in dbo and in sales: each lists its own columns,
    // a description beyond GBK and the BMP lands on sales.x exactly, and an
    // export of sales.x alone reads sales.x.
    void schemas()
    {
        const Table dbo{u"x"_s, {}, {u"a|int|10|0|√||||"_s}}, sales{u"x"_s, u"销售"_s, {u"b|int|10|0|√||||"_s}, u"sales"_s};
        const QString text = u"ß✓😀 weiß"_s;
        const QStringList sent = {Key(u"Archive"_s, SqlServerDescriptionCount(Of(1, sales), u"b"_s)),
                                  Key(u"Archive"_s, DescriptionSql(1, true, text, sales, u"b"_s)),
                                  Key(u"Archive"_s, SqlServerDescriptionReadBack(Of(1, sales), u"b"_s))};
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
        // The table alone exported, from its schema.
        AnswerExport(w, w.folder.filePath(u"x.txt"_s));
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).last(), Success(w.folder.filePath(u"x.txt"_s)));
        QCOMPARE(ReadAll(w.folder.filePath(u"x.txt"_s)), Utf16File({kHeader, u"sales.x\tb\tint\t10\t0\t√\t\t\t\t"_s}));
    }

    // Exit while a step waits on a link that passes nothing, an export on a slow
    // one: the program ends in time, the settings file as it was, nothing else
    // acted on meanwhile, a cut write whole or not at all, a cut export no file.
    void exitWhileStalled_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("database_listing") << 0;
        QTest::newRow("table_listing") << 1;
        QTest::newRow("column_listing") << 2;
        QTest::newRow("column_write") << 3;
        QTest::newRow("export") << 4;
    }
    void exitWhileStalled()
    {
        QFETCH(int, step);
        TcpRelay relay(quint16(Server().port.toUInt()));
        QTemporaryDir out;
        Window w;
        QWidget* start = w->Control(step == 4 ? 1030 : 1015);
        if (step == 0)
            Fill(w, Server().host, QString::number(relay.Port()), Server().user, Server().password, 1);
        else
            ConnectTestServer(w, relay.Port());
        if (step >= 2)
            Click(w->m_databaseList, u"vel_browse"_s);
        if (step == 3) {
            Click(w->m_tableList, u"orders"_s);
            Click(w->m_columnList, u"id"_s);
            Retype(w.Edit(1024), u"cut short"_s);
            start = w->Control(1020);
        }
        if (step == 4) {
            AnswerExport(w, out.filePath(u"stalled.txt"_s));
            w->m_exportChunk = 0;
        }
        w->grab(); // painting the lists writes their colours' missing keys
        const QByteArray settings = ReadAll(u"Pell.ini"_s);
        const int accepted = relay.Accepted();
        relay.SetStalled(step < 4);
        relay.SetDelayMs(step < 4 ? 0 : 40); // an export is cut off while it reads
        QElapsedTimer clicked;
        QTimer::singleShot(0, w.dlg.get(), [&] {
            clicked.start();
            if (step == 1 || step == 2)
                Click(step == 1 ? w->m_databaseList : w->m_tableList, step == 1 ? u"vel_browse"_s : u"orders"_s);
            else
                QTest::mouseClick(start, Qt::LeftButton);
        });
        QElapsedTimer exit;
        QStringList enabled; // once the wait shows
        QTimer waiting;
        connect(&waiting, &QTimer::timeout, w.dlg.get(), [&] {
            if (!w->WorkerRunning() || exit.isValid() || (step == 4 && !w->m_progress->isVisible())
                || (step % 4 && clicked.elapsed() < 600)) // past the wait label's 300 ms
                return;
            enabled = Enabled(w);
            if (step > 0)
                Click(w->m_databaseList, u"mysql"_s);
            w->OnConnect();
            w->OnExport();
            w->OnItemChangedTableList(0);
            exit.start();
            // Through the top-level window, as the display delivers a click.
            QWidget* button = w->Control(1006);
            QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, button->mapTo(w.dlg.get(), button->rect().center()));
        });
        waiting.start(50);
        w->exec();
        QVERIFY2(exit.isValid() && exit.elapsed() < 2000, qPrintable(QString::number(exit.elapsed())));
        QVERIFY(!w->WorkerRunning() && !w->isVisible());
        QCOMPARE(ReadAll(u"Pell.ini"_s), settings);
        QCOMPARE(w->m_database, step > 0 ? u"vel_browse"_s : QString());
        QCOMPARE(relay.Accepted(), accepted + 1);
        QCOMPARE(enabled, QStringList());
        QCOMPARE(std::exchange(w.messages, {}).size(), step == 4 ? 1 : 0); // the export's first question
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        const CatalogRows comment = QueryMySqlRows(m_admin, u"select column_comment from information_schema.columns "
                                                            "where table_schema = 'vel_browse' and table_name = 'orders'"_s, 1);
        QVERIFY(comment.rows.size() == 1 && QStringList({"", "cut short"}).contains(comment.rows[0][0]));
    }

    // The history takes a server once, whatever its letter case. A long
    // server name comes back whole with its settings; choosing it adds no section.
    void historySurvivesRestart()
    {
        const QString host = "0x" + QString(90, u'0') + "7f000001"; // 127.0.0.1
        QByteArray settings;
        {
            Window w("[Database]\nServer1=db9\n");
            for (const QString& name : {u"LocalHost"_s, u"LOCALHOST"_s, host})
                ::Connect(w, name, Server().port, Server().user, Server().password, 1);
            QCOMPARE(w->m_serverCombo->count(), 3);
            settings = ReadAll(u"Pell.ini"_s);
            QCOMPARE(CSettingsFile().Read("Pell.ini", "Database", "Server2", "?"), u"LocalHost"_s);
            QVERIFY(!QSettings(u"Pell.ini"_s, QSettings::IniFormat).contains(u"Database/Server4"_s));
        }
        Window w(settings);
        const QStringList sections = QSettings(u"Pell.ini"_s, QSettings::IniFormat).childGroups();
        w->m_serverCombo->setCurrentIndex(0);
        emit w->m_serverCombo->activated(0);
        QCOMPARE(QStringList({w->m_serverCombo->itemText(0), w.Edit(1017)->text(), w.Edit(1013)->text(), w.Edit(1014)->text(), w->m_kindCombo->currentText()}),
                 QStringList({host, Server().port, Server().user, Server().password, "MySQL"}));
        QCOMPARE(QSettings(u"Pell.ini"_s, QSettings::IniFormat).childGroups(), sections);
    }
};

QTEST_MAIN(TestBrowse)
#include "TestBrowse.moc"
