#include "support/WindowHarness.h"

#include "edit/DescriptionUpdate.h"

#include "support/TcpRelay.h"
#include "ui/StatusLabel.h"

#include <QClipboard>

#include <array>
#include <span>
#include <thread>

// Descriptions written through the window to the private MariaDB and read
// back from the server by a connection of the test's own.

namespace {

const QString kNew = u"new 'c' \\ 描述"_qs; // printed by SHOW CREATE as 'new ''c'' \\ 描述'
const QString kCopied = u"服务器只能通过复制整张表来修改该字段"_qs;

// Selects all and pastes, as a user would: a pasted text may hold line
// breaks and characters no key types.
void Paste(QLineEdit* field, const QString& text)
{
    Focus(field);
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, text.isEmpty() ? Qt::Key_Delete : Qt::Key_V, text.isEmpty() ? Qt::NoModifier : Qt::ControlModifier);
    QCOMPARE(field->text(), text);
}

// Writes `text` into the table (1022) or column (1024) description by button, Enter or Down.
void Write(Window& w, int field, const QString& text, const QString& how = u"button"_qs)
{
    Paste(w.Edit(field), text);
    if (how == u"button")
        QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(field == 1022 ? 1021 : 1020)), Qt::LeftButton);
    else
        QTest::keyClick(w.Edit(field), how == u"enter" ? Qt::Key_Return : Qt::Key_Down);
}

void Open(Window& w, const QString& table, const QString& column = {}, int port = -1)
{
    ConnectTestServer(w, port);
    Click(w->m_databaseList, u"vel_edit"_qs);
    Click(w->m_tableList, table);
    if (!column.isEmpty())
        Click(w->m_columnList, column);
}

} // namespace

class TestEditMySql : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;
    QStringList m_shownInDefaultMode; // the column list and export of r

    QString Value(const QString& query)
    {
        Run(m_admin, query);
        return FromMySql(m_admin.GetValue(0, 0));
    }
    QString Comment(const QString& table, const QString& column = {})
    {
        return column.isEmpty() ? Value(u"select table_comment from information_schema.tables where table_schema="
                                        "'vel_edit' and table_name='%1'"_qs.arg(table))
                                : Value(u"select column_comment from information_schema.columns where table_schema="
                                        "'vel_edit' and table_name='%1' and column_name='%2'"_qs.arg(table, column));
    }
    QString ShowCreate(const QString& table)
    {
        Run(m_admin, u"show create table vel_edit.`%1`"_qs.arg(table));
        return FromMySql(m_admin.GetValue(0, 1));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(ConnectClient(m_admin), "the private MariaDB is not running");
        Run(m_admin, "create database vel_edit");
        m_admin.Query("install soname 'ha_archive'"); // where the server has the plugin
    }
    void init()
    {
        Run(m_admin, "set global sql_mode=default");
        Run(m_admin, "drop table if exists vel_edit.t, vel_edit.u, vel_edit.r");
        Run(m_admin, "create table vel_edit.t (id int primary key, c varchar(20) not null default 'x' comment 'old', d int) comment 'old'");
        Run(m_admin, "create table vel_edit.u (k int)");
        Run(m_admin, u"create table vel_edit.r (id int not null auto_increment primary key, k int,"
                     " ts timestamp not null default current_timestamp on update current_timestamp,"
                     " cs varchar(10) character set latin1 collate latin1_bin default 'abc',"
                     " ap varchar(10) default 'it''s \\\\ x', gs int as (k + 1) stored,"
                     " gv varchar(20) as (concat(cs, 'x')) virtual, inv int invisible,"
                     " e enum('a','b''c') default 'b''c', z int unsigned zerofill,"
                     " oc int comment 'old''s \\\\ comment', `we``ird \"name` int, js json,"
                     " price varchar(10) default '5€', kr varchar(10) default '한국', en enum('ñ','o') default 'ñ',"
                     " st set('ß','x'), tag varchar(10) default 'weiß',"
                     " calc varchar(40) as (concat(tag, '™')) virtual, calcs varchar(40) as (concat(tag, '✓')) stored,"
                     " ck varchar(10) check (ck <> '✓')) default charset=utf8mb4"_qs);
        Run(m_admin, u"insert into vel_edit.r (k, st, tag, ck) values (1, 'ß', 'straße', 'a'), (2, 'x', '한', 'ñ')"_qs);
    }
    void cleanupTestCase()
    {
        m_admin.Query("set global sql_mode=default");
        m_admin.Query("drop database if exists vel_edit");
    }

    // Under each server mode that changes how SHOW CREATE TABLE prints or how
    // ALTER reads it, columns and rows keep everything, characters GBK lacks
    // included: only the comments change, to exactly what was typed.
    void restatement_data()
    {
        QTest::addColumn<QString>("mode");
        for (const char* mode : {"", "NO_FIELD_OPTIONS", "NO_KEY_OPTIONS", "NO_TABLE_OPTIONS", "ANSI_QUOTES",
                                 "PIPES_AS_CONCAT", "NO_BACKSLASH_ESCAPES", "ORACLE", "MSSQL", "ANSI", "TRADITIONAL",
                                 "POSTGRESQL", "NO_BACKSLASH_ESCAPES,ANSI_QUOTES,NO_FIELD_OPTIONS"})
            QTest::newRow(*mode ? mode : "default") << QString::fromLatin1(mode);
    }
    void restatement()
    {
        QFETCH(QString, mode);
        static const QRegularExpression comment(u" COMMENT '(?:[^'\\\\]|\\\\.|'')*'"_qs);
        const QString old = ShowCreate(u"r"_qs);
        const QString values = u"select group_concat(concat_ws('|', id, k, ts, cs, ap, gs, gv, e, oc, price, kr, en,"
                               " st, tag, calc, calcs, ck) order by id) from vel_edit.r"_qs;
        const QString rows = Value(values);
        Run(m_admin, u"set global sql_mode='%1'"_qs.arg(mode));
        Window w;
        const QString path = QDir(w.folder.path()).filePath(u"r.txt"_qs);
        AnswerExport(w, path);
        Open(w, u"r"_qs);
        // The listing and the export read alike under every mode.
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).last(), Success(path));
        const QStringList shown = Rows(w->m_columnList) << QString::fromLatin1(ReadAll(path).toHex());
        if (m_shownInDefaultMode.isEmpty())
            m_shownInDefaultMode = shown;
        QCOMPARE(shown, m_shownInDefaultMode);
        for (int row = 0; row < w->m_columnList->topLevelItemCount(); ++row) {
            const QString column = w->m_columnList->topLevelItem(row)->text(0);
            Click(w->m_columnList, column);
            Write(w, 1024, kNew + column);
            // MariaDB copies the table to restate a stored generated column.
            if (column == u"gs" || column == u"calcs") {
                QCOMPARE(std::exchange(w.messages, {}).value(0).section(u'\n', 0, 0),
                         u"警告|0x30|服务器只能通过复制整张表来修改该字段，描述未更新。"_qs);
                continue;
            }
            QCOMPARE(Comment(u"r"_qs, column), kNew + column);
        }
        Run(m_admin, u"set global sql_mode=default"_qs);
        QCOMPARE(ShowCreate(u"r"_qs).remove(comment), QString(old).remove(comment));
        QCOMPARE(Value(values), rows);
    }

    // Each column either gets only its description, or nothing changes; judged
    // by the value a new row gets, the rows' bytes and the catalog.
    void exactness_data()
    {
        QTest::addColumn<QStringList>("setup"); // global settings, then the table's definition and rows
        QTest::addColumn<QString>("value");     // how a value of c is judged
        QTest::addColumn<QString>("fresh");     // what a new row gets, judged so
        QTest::addColumn<QString>("message");   // empty when written
        const auto row = [](const char* name, QStringList setup, const char* value, const char* fresh,
                            const QString& message = {}) {
            QTest::newRow(name) << setup << QString::fromUtf8(value) << QString::fromUtf8(fresh) << message;
        };
        row("non_bmp_default", {"", "c varchar(50) default 'x😀y'", "(1, 'a😀')"}, "hex(c)", "78F09F988079");
        row("binary_default", {"", "c varbinary(8) default x'ff00'", "(1, x'00ff')"}, "hex(c)", "FF00");
        row("float_defaults", {"", "c float default 1.2345678, g float not null default -2.2345678", "(1, 2.5, 1)"},
            "concat(c + 0e0, '/', g + 0e0)", "1.2345677614212036/-2.234567880630493");
        row("float_no_rows", {"", "c float not null default 1.2345678", ""}, "c + 0e0", "1.2345677614212036",
            u"字段 c 的默认值服务器无法原样显示，表中没有数据行时无法读出原值，描述未更新。"_qs);
        row("srid", {"", "c point ref_system_id=4326", "(1, point(1, 2))"},
            "(select srid from information_schema.geometry_columns where f_table_name = 's')", "4326");
        row("enum_data_not_strict", {"sql_mode=''", "c enum('😀','ok') default 'ok'", "(1, '😀'), (2, 'ok')"}, "hex(c)", "6F6B");
        row("escaped_default", {"", "c varchar(20) default 'a\\0b\\bc\\nd\\re\\tf\\Zg\\%h'", "(1, 'x')"}, "hex(c)",
            "61006208630A640D6509661A675C2568");
        row("set_default", {"", "c set('😀','ok') default '😀,ok'", "(1, 'ok')"}, "hex(c)", "F09F98802C6F6B");
        row("versioned", {"", "c int default 7) with system versioning #", "(1, 1)"}, "c", "7");
        row("quote_show_create_off", {"sql_quote_show_create=OFF", "`1e5` int default 7, c int default 8", "(1, 1, 2)"},
            "concat(`1e5`, c)", "78");
        row("allow_invalid_dates", {"sql_mode='ALLOW_INVALID_DATES'", "c date default '2020-02-31'", "(1, '2021-02-30')"},
            "cast(c as char)", "2020-02-31");
        const QStringList engines = Value(u"select group_concat(engine) from information_schema.engines where "
                                          "support in ('YES', 'DEFAULT')"_qs).split(u',');
        for (const char* engine : {"InnoDB", "MyISAM", "Aria", "MEMORY", "ARCHIVE"})
            if (engines.contains(QString::fromLatin1(engine)))
                row(engine, {"", u"c int default 7) engine=%1 #"_qs.arg(QString::fromLatin1(engine)), "(1, 1)"}, "c", "7",
                    engine == QByteArrayView("ARCHIVE") ? kCopied : QString());
        row("view", {"", "c int default 7", "(1, 1)"}, "c", "7", u"“sv”是视图，此服务器上的视图不能保存描述，描述未更新。"_qs);
    }
    void exactness()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, value);
        QFETCH(QString, fresh);
        QFETCH(QString, message);
        const bool view = QByteArrayView(QTest::currentDataTag()) == "view";
        if (!setup[0].isEmpty())
            Run(m_admin, u"set global "_qs + setup[0]);
        Run(m_admin, u"drop view if exists vel_edit.sv"_qs);
        Run(m_admin, u"drop table if exists vel_edit.s"_qs);
        Run(m_admin, u"set session sql_mode=@@global.sql_mode"_qs);
        // A trailing "#" lets a row end the column list itself.
        Run(m_admin, u"create table vel_edit.s (id int not null, %1) default charset=utf8mb4"_qs
                         .arg(setup[1]).section(u'#', 0, 0));
        if (!setup[2].isEmpty())
            Run(m_admin, u"insert into vel_edit.s values "_qs + setup[2]);
        Run(m_admin, u"create view vel_edit.sv as select id, c from vel_edit.s"_qs);
        Run(m_admin, u"set session sql_mode=default"_qs);
        const QString judge = u"select group_concat(%1 order by id) from vel_edit.s where id < 99"_qs.arg(value);
        const QString catalog = u"select group_concat(concat_ws('|', column_name, column_type, is_nullable, "
                                "column_default, extra, character_set_name, collation_name) order by ordinal_position)"
                                " from information_schema.columns where table_schema='vel_edit' and table_name='s'"_qs;
        const QString oldRows = Value(judge), oldCatalog = Value(catalog);

        CMySqlClient client;
        QVERIFY(ConnectClient(client, "vel_edit"));
        const QString column = setup[1].startsWith(u"`1e5`") ? u"1e5"_qs : u"c"_qs;
        const UpdateResult result = UpdateMySqlColumnComment(client, view ? u"sv"_qs : u"s"_qs, column, kNew);
        const UpdateResult table = UpdateMySqlTableComment(client, view ? u"sv"_qs : u"s"_qs, kNew);
        const bool refused = !message.isEmpty() && !message.startsWith(kCopied);
        QCOMPARE(int(table.outcome), int(refused ? UpdateResult::Refused : UpdateResult::Done));
        Run(m_admin, u"set global sql_mode=default, sql_quote_show_create=ON"_qs);
        QVERIFY2(result.error.startsWith(message), qPrintable(result.error));
        QCOMPARE(int(result.outcome), int(message.isEmpty() ? UpdateResult::Done
                                          : refused       ? UpdateResult::Refused : UpdateResult::Failed));
        QCOMPARE(Comment(u"s"_qs, column), message.isEmpty() ? kNew : QString());
        QCOMPARE(Value(judge), oldRows);
        QCOMPARE(Value(catalog), oldCatalog);
        Run(m_admin, u"insert into vel_edit.s (id) values (99)"_qs);
        QCOMPARE(Value(u"select %1 from vel_edit.s where id = 99"_qs.arg(value)), fresh);
    }

    // The write's session is strict: a comment past the limit is refused, not
    // cut, whatever the server's mode. A change another session queued first
    // is kept: the write waits behind it, then changes only the comment.
    void strictAndQueued()
    {
        Run(m_admin, "set global sql_mode=''");
        CMySqlClient holder, changer;
        QVERIFY(ConnectClient(holder, "vel_edit") && ConnectClient(changer, "vel_edit"));
        QCOMPARE(int(UpdateMySqlColumnComment(holder, u"t"_qs, u"c"_qs, QString(1100, u'长')).outcome), int(UpdateResult::Failed));
        QCOMPARE(Comment(u"t"_qs, u"c"_qs), u"old"_qs);
        Run(holder, "start transaction");
        Run(holder, "select * from t");
        QVERIFY(changer.Send("alter table t modify c varchar(200) not null default 'x' comment 'old'"));
        const QString waiting = u"select count(*) from information_schema.processlist where state = "
                                "'Waiting for table metadata lock'"_qs;
        QTRY_COMPARE(Value(waiting), u"1"_qs);
        UpdateResult result;
        std::thread writer([&] {
            CMySqlClient client;
            if (ConnectClient(client, "vel_edit"))
                result = UpdateMySqlColumnComment(client, u"t"_qs, u"c"_qs, kNew);
        });
        QTRY_COMPARE(Value(waiting), u"2"_qs);
        Run(holder, "rollback");
        writer.join();
        QVERIFY(changer.Receive());
        QCOMPARE(int(result.outcome), int(UpdateResult::Done));
        QCOMPARE(Value(u"select column_type from information_schema.columns where table_schema='vel_edit' and "
                       "table_name='t' and column_name='c'"_qs), u"varchar(200)"_qs);
        QCOMPARE(Comment(u"t"_qs, u"c"_qs), kNew);
    }

    // A refusal opens no link; with the server gone the button stays on for a
    // retry; no update starts while the connect worker runs; a table another
    // session locks gives up; typed text comes back; a gone column is named.
    void refusedServerGoneAndBusy_data()
    {
        QTest::addColumn<int>("field");
        for (const int field : {1022, 1024})
            QTest::newRow(field == 1022 ? "table" : "column") << field;
    }
    void refusedServerGoneAndBusy()
    {
        QFETCH(int, field);
        const bool table = field == 1022;
        const QString column = table ? QString() : u"c"_qs;
        const int limit = table ? 2048 : 1024;
        const QString outside = u"警告|0x30|描述中的字符“😀”（U+1F600）无法保存到MySQL服务器，描述未更新。\n"
                                "请删除或替换该字符后再试。"_qs;
        const QString longer = u"警告|0x30|描述长度为%1个字符，超过了服务器允许的%2个字符，描述未更新。\n"
                               "请缩短描述后再试。"_qs.arg(limit + 1).arg(limit);
        const std::pair<QString, QString> refusals[] = {
            {QString(), QString()}, {table ? u"ok 表情😀"_qs : u"ok 한😀"_qs, outside},
            {QString(limit + 1, table ? u'x' : u'长'), longer}};
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        Open(w, u"t"_qs, column, relay.Port());
        auto* const button = qobject_cast<QPushButton*>(w->Control(table ? 1021 : 1020));
        int links = relay.Accepted();
        for (const auto& [text, message] : refusals) {
            Write(w, field, text, u"enter"_qs);
            QCOMPARE(std::exchange(w.messages, {}), message.isEmpty() ? QStringList() : QStringList{message});
            QCOMPARE(relay.Accepted(), links);
            QCOMPARE(Comment(u"t"_qs, column), u"old"_qs);
            QVERIFY(button->isEnabled() && !w->m_statusLabel->isVisible());
            QTRY_VERIFY(w.Edit(field)->hasFocus());
        }

        relay.Cut();
        Write(w, field, u"retry"_qs);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(std::exchange(w.messages, {}).first().startsWith(u"警告|0x30|打开数据库失败...\n"_qs));
        QVERIFY(button->isEnabled() && !w->m_statusLabel->isVisible());
        QCOMPARE(Comment(u"t"_qs, column), u"old"_qs);
        relay.Resume();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(Comment(u"t"_qs, column), u"retry"_qs);

        relay.SetDelayMs(150);
        links = relay.Accepted();
        w->OnConnect();
        QTRY_VERIFY(w->m_statusLabel->isVisible());
        const QString connecting = w->m_statusLabel->text();
        w->OnUpdateTableDescription();
        w->OnUpdateColumnDescription();
        QCOMPARE(w->m_statusLabel->text(), connecting);
        QTRY_VERIFY(!w->WorkerRunning());
        QCOMPARE(relay.Accepted(), links + 1);

        relay.SetDelayMs(0);
        CMySqlClient holder;
        QVERIFY(ConnectClient(holder));
        Run(holder, "start transaction");
        Run(holder, "select * from vel_edit.t for update");
        w->m_mysql.m_timeouts.lockWait = 1;
        Write(w, field, u"new"_qs);
        QCOMPARE(std::exchange(w.messages, {}), QStringList{u"警告|0x30|表 t 正被其他会话锁定，描述未更新。\n请稍后再试。"_qs});
        Run(holder, "rollback");
        QCOMPARE(Comment(u"t"_qs, column), u"retry"_qs);

        // Typed text comes back from the server unchanged, in either quoting
        // mode of the session, by every way of writing; injected text stays text.
        const QString quotes = u"it's 100% \"ok\" \\ done"_qs, lines = u"第一行\n第二行 'x' \\n"_qs;
        const QString chinese = u"中文描述：价格\\数量 ß✓™한€ñ"_qs, injection = u"'; drop table t; --"_qs;
        const QString nbe = u"NO_BACKSLASH_ESCAPES"_qs;
        const std::array<QString, 3> typed[] = { // the table's, then the column's: mode, way of writing, text
            {"", "button", quotes}, {nbe, "enter", lines}, {"", "down", chinese}, {nbe, "button", injection},
            {nbe, "enter", quotes}, {"", "down", lines}, {nbe, "button", chinese}, {"", "enter", injection}};
        for (const auto& [mode, how, text] : std::span(typed).subspan(table ? 0 : 4, 4)) {
            Run(m_admin, u"set global sql_mode='%1'"_qs.arg(mode));
            Click(w->m_tableList, u"t"_qs);
            if (!table)
                Click(w->m_columnList, column);
            Write(w, field, text, how);
            QCOMPARE(Comment(u"t"_qs, column), text);
            QTreeWidget* list = table ? w->m_tableList : w->m_columnList;
            const int row = table ? w->m_tableRow : w->m_columnRow;
            QCOMPARE(list->topLevelItem(row)->text(table ? 1 : 8), text);
            QVERIFY(!button->isEnabled() && !w->m_statusLabel->isVisible());
            QTRY_VERIFY(w.Edit(field)->hasFocus());
            // With the button off again, Down walks on to the next row.
            QTest::keyClick(w.Edit(field), Qt::Key_Down);
            QCOMPARE(table ? w->m_tableRow : w->m_columnRow, row + 1);
        }
        if (table)
            return;
        // The column, then its table, went away after the listing.
        Click(w->m_columnList, u"d"_qs);
        for (const char* drop : {"alter table vel_edit.t drop column d", "drop table vel_edit.t"}) {
            Run(m_admin, drop);
            Write(w, 1024, u"x"_qs);
            QCOMPARE(std::exchange(w.messages, {}), QStringList{u"警告|0x30|未查询到对应的字段：vel_edit,t,d"_qs});
            QVERIFY(w->Control(1020)->isEnabled() && !w->m_statusLabel->isVisible());
            QCOMPARE(w->m_columnList->topLevelItem(w->m_columnRow)->text(8), QString());
        }
    }
};

QTEST_MAIN(TestEditMySql)
#include "TestEditMySql.moc"
