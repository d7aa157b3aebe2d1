#include "app/MySqlWindow.h"

#include "support/TcpRelay.h"
#include "ui/StatusLabel.h"

// Descriptions written through the window to the private MariaDB and read
// back from the server by a connection of the test's own.

namespace {

const QString kNew = u"new 'c' \\ 描述"_qs; // printed by SHOW CREATE as 'new ''c'' \\ 描述'
const QString kNewShown = u"COMMENT 'new ''c'' \\\\ 描述'"_qs;

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

struct PaintWatch : QObject {
    std::function<void()> onPaint;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            onPaint();
        return false;
    }
};

} // namespace

class TestEditMySql : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;

    QString Value(const QString& query)
    {
        Run(m_admin, query);
        return AnsiCodePage::ToUnicode(m_admin.GetValue(0, 0));
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
        return AnsiCodePage::ToUnicode(m_admin.GetValue(0, 1));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(Server().valid, "the private MariaDB is not running");
        SetTestServerParams(m_admin, Server());
        QVERIFY(m_admin.Connect());
        Run(m_admin, "create database vel_edit");
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
                     " oc int comment 'old''s \\\\ comment', `we``ird \"name` int, js json) default charset=utf8mb4"_qs);
    }
    void cleanupTestCase()
    {
        m_admin.Query("set global sql_mode=default");
        m_admin.Query("drop database if exists vel_edit");
    }

    // Typed text comes back from the server unchanged, in either quoting mode
    // of the session, by every way of writing; injected text stays text.
    void readBack_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        const QString quotes = u"it's 100% \"ok\" \\ done"_qs, lines = u"第一行\n第二行 'x' \\n"_qs;
        const QString chinese = u"中文描述：价格\\数量"_qs, injection = u"'; drop table t; --"_qs;
        const QString nbe = u"NO_BACKSLASH_ESCAPES"_qs;
        QTest::newRow("table_quotes_button") << "" << "" << "button" << quotes;
        QTest::newRow("table_lines_enter_nbe") << nbe << "" << "enter" << lines;
        QTest::newRow("table_chinese_down") << "" << "" << "down" << chinese;
        QTest::newRow("table_injection_nbe") << nbe << "" << "button" << injection;
        QTest::newRow("column_quotes_enter_nbe") << nbe << "c" << "enter" << quotes;
        QTest::newRow("column_lines_down") << "" << "c" << "down" << lines;
        QTest::newRow("column_chinese_button_nbe") << nbe << "c" << "button" << chinese;
        QTest::newRow("column_injection_enter") << "" << "c" << "enter" << injection;
    }
    void readBack()
    {
        QFETCH(QString, mode);
        QFETCH(QString, column);
        QFETCH(QString, how);
        QFETCH(QString, text);
        Run(m_admin, u"set global sql_mode='%1'"_qs.arg(mode));
        Window w;
        Open(w, u"t"_qs, column);
        const int field = column.isEmpty() ? 1022 : 1024;
        Write(w, field, text, how);
        QCOMPARE(Comment(u"t"_qs, column), text);
        QTreeWidget* list = column.isEmpty() ? w->m_tableList : w->m_columnList;
        const int row = column.isEmpty() ? w->m_tableRow : w->m_columnRow;
        QCOMPARE(list->topLevelItem(row)->text(column.isEmpty() ? 1 : 8), text);
        QVERIFY(!w->Control(field == 1022 ? 1021 : 1020)->isEnabled());
        QVERIFY(!w->m_statusLabel->isVisible());
        QTRY_VERIFY(w.Edit(field)->hasFocus());
        // With the button off again, Down walks on to the next row.
        QTest::keyClick(w.Edit(field), Qt::Key_Down);
        QCOMPARE(column.isEmpty() ? w->m_tableRow : w->m_columnRow, row + 1);
    }

    // Each column keeps every attribute; only its comment changes.
    void restatement_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const QList<std::array<QString, 3>> columns = {
            {"id", "`id` int(11) NOT NULL AUTO_INCREMENT", ""},
            {"ts", "`ts` timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp()", ""},
            {"cs", "`cs` varchar(10) CHARACTER SET latin1 COLLATE latin1_bin DEFAULT 'abc'", ""},
            {"ap", "`ap` varchar(10) DEFAULT 'it''s \\\\ x'", ""},
            {"gs", "`gs` int(11) GENERATED ALWAYS AS (`k` + 1) STORED", ""},
            {"gv", "`gv` varchar(20) GENERATED ALWAYS AS (concat(`cs`,'x')) VIRTUAL", ""},
            {"inv", "`inv` int(11) INVISIBLE DEFAULT NULL", ""},
            {"e", "`e` enum('a','b''c') DEFAULT 'b''c'", ""},
            {"z", "`z` int(10) unsigned zerofill DEFAULT NULL", ""},
            {"oc", "`oc` int(11) DEFAULT NULL COMMENT 'old''s \\\\ comment'", "`oc` int(11) DEFAULT NULL " + kNewShown},
            {"we`ird \"name", "`we``ird \"name` int(11) DEFAULT NULL", ""},
            {"js", "`js` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`js`))",
             "`js` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL " + kNewShown + " CHECK (json_valid(`js`))"},
        };
        for (const QString& mode : {u""_qs, u"NO_BACKSLASH_ESCAPES,ANSI_QUOTES"_qs}) {
            for (const auto& [column, before, after] : columns)
                QTest::addRow("%s%s", qPrintable(column), mode.isEmpty() ? "" : "_ansi_nbe")
                    << mode << column << before << (after.isEmpty() ? before + u' ' + kNewShown : after);
        }
    }
    void restatement()
    {
        QFETCH(QString, mode);
        QFETCH(QString, column);
        QFETCH(QString, before);
        QFETCH(QString, after);
        Run(m_admin, u"set global sql_mode='%1'"_qs.arg(mode));
        const QString old = ShowCreate(u"r"_qs);
        QVERIFY2(old.contains(before), qPrintable(old));
        Window w;
        Open(w, u"r"_qs, column);
        Write(w, 1024, kNew);
        QCOMPARE(ShowCreate(u"r"_qs), QString(old).replace(before, after));
    }

    // The table or column went away after the listing: the design's message.
    void gone_data()
    {
        QTest::addColumn<QString>("drop");
        QTest::newRow("column_dropped") << "alter table vel_edit.t drop column d";
        QTest::newRow("table_dropped") << "drop table vel_edit.t";
    }
    void gone()
    {
        QFETCH(QString, drop);
        Window w;
        Open(w, u"t"_qs, u"d"_qs);
        Run(m_admin, drop);
        Write(w, 1024, u"x"_qs);
        QCOMPARE(std::exchange(w.messages, {}), QStringList{u"警告|0x30|未查询到对应的字段：vel_edit,t,d"_qs});
        QVERIFY(w->Control(1020)->isEnabled() && !w->m_statusLabel->isVisible());
        QCOMPARE(w->m_columnList->topLevelItem(w->m_columnRow)->text(8), QString());
    }

    // Refused before anything leaves: no connection is even opened.
    void refused_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString refusal = u"警告|0x30|描述中的字符“%1”（U+%2）无法以GBK编码传送到MySQL服务器，描述未更新。\n"
                                "请删除或替换该字符后再试。"_qs;
        QTest::newRow("table_empty") << 1022 << "" << "";
        QTest::newRow("column_empty") << 1024 << "" << "";
        QTest::newRow("table_euro") << 1022 << u"价格€"_qs << refusal.arg(u"€"_qs, u"20AC"_qs);
        QTest::newRow("column_hangul_then_emoji") << 1024 << u"ok 한😀"_qs << refusal.arg(u"한"_qs, u"D55C"_qs);
        QTest::newRow("table_emoji") << 1022 << u"ok 😀"_qs << refusal.arg(u"😀"_qs, u"1F600"_qs);
    }
    void refused()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        Open(w, u"t"_qs, field == 1024 ? u"c"_qs : QString(), relay.Port());
        const int links = relay.Accepted();
        Write(w, field, text, u"enter"_qs);
        QCOMPARE(std::exchange(w.messages, {}), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(relay.Accepted(), links);
        QCOMPARE(Comment(u"t"_qs, field == 1024 ? u"c"_qs : QString()), u"old"_qs);
        QVERIFY(w->Control(field == 1022 ? 1021 : 1020)->isEnabled() && !w->m_statusLabel->isVisible());
        QTRY_VERIFY(w.Edit(field)->hasFocus());
    }

    // A server gone: a message and the button left on; the retry writes, with
    // the wait text painted before the link is opened.
    void serverGoneThenRetry_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("wait");
        QTest::newRow("table") << 1022 << u"正在更新表描述，请稍候..."_qs;
        QTest::newRow("column") << 1024 << u"正在更新字段描述，请稍候..."_qs;
    }
    void serverGoneThenRetry()
    {
        QFETCH(int, field);
        QFETCH(QString, wait);
        const QString column = field == 1024 ? u"c"_qs : QString();
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        Open(w, u"t"_qs, column, relay.Port());
        relay.Cut();
        Write(w, field, u"retry"_qs);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(std::exchange(w.messages, {}).first().startsWith(u"警告|0x30|打开数据库失败...\n"_qs));
        QVERIFY(w->Control(field == 1022 ? 1021 : 1020)->isEnabled() && !w->m_statusLabel->isVisible());
        QCOMPARE(Comment(u"t"_qs, column), u"old"_qs);

        relay.Resume();
        const int links = relay.Accepted();
        QStringList painted;
        PaintWatch watch;
        watch.onPaint = [&] { painted << w->m_statusLabel->text() + u'@' + QString::number(relay.Accepted() - links); };
        w->m_statusLabel->installEventFilter(&watch);
        QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(field == 1022 ? 1021 : 1020)), Qt::LeftButton);
        QVERIFY2(painted.contains(wait + u"@0"_qs), qPrintable(painted.join(u',')));
        QCOMPARE(Comment(u"t"_qs, column), u"retry"_qs);
    }

    // No update starts while the connect worker uses the connection objects.
    void noUpdateWhileWorkerRuns()
    {
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        Open(w, u"t"_qs, {}, relay.Port());
        relay.SetDelayMs(150);
        const int links = relay.Accepted();
        w->OnConnect();
        QTRY_VERIFY(w->m_statusLabel->isVisible());
        const QString connecting = w->m_statusLabel->text();
        w->OnUpdateTableDescription();
        w->OnUpdateColumnDescription();
        QCOMPARE(w->m_statusLabel->text(), connecting);
        QTRY_VERIFY(!w->WorkerRunning());
        QCOMPARE(relay.Accepted(), links + 1);
    }
};

QTEST_MAIN(TestEditMySql)
#include "TestEditMySql.moc"
