#include "TestSchemaDlgHarness.h"

#include "app/DebugTrace.h"
#include "app/MessageBoxStyle.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"

static void ClickExit(Window& w) { QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1006)), Qt::LeftButton); }

// Start-up from the settings file, closing, the controls as the window
// starts, field exchange, trace lines and the message-box looks.
class TestSchemaDlgWindow : public QObject
{
    Q_OBJECT
private slots:
    void startAndClose_data()
    {
        AddScenarioColumns();
        const Act none = [](Window&) {};
        Scenario("first_start", {}, none, {"history=", "ini:Database/Server1="});
        Scenario("newest_first", "[Database]\nServer1=a\nServer2=b\nServer3=c\n", none,
                 {"history=c,b,a", "server=", "ini:Database/Server4="});
        Scenario("gap_ends_history", "[Database]\nServer1=a\nServer3=c\n", none,
                 {"history=a", "ini:Database/Server2=", "ini:Database/Server3=c"});
        Scenario("escape_refused", {}, [](Window& w) { QTest::keyClick(w.dlg.get(), Qt::Key_Escape); },
                 {"visible=yes"});
        Scenario("alt_f4_refused", {}, [](Window& w) { QTest::keyClick(w.dlg.get(), Qt::Key_F4, Qt::AltModifier); },
                 {"visible=yes"});
        Scenario("close_refused", {}, [](Window& w) { QVERIFY(!w->close()); }, {"visible=yes"});
        Scenario("exit_closes", {}, ClickExit, {"visible=no"});
        // Storing an unchanged text would reset the field and its selection.
        Scenario("store_leaves_equal_field", {}, [](Window& w) {
            Type(w.Edit(1017), QStringLiteral("3306"));
            w.Edit(1017)->setSelection(1, 2);
            w->m_port = QStringLiteral("3306");
            w->m_user = QStringLiteral("sa");
            w->StoreFields();
        }, {"selected=30", "fields=3306|sa|||"});
    }
    void startAndClose() { RunScenario(); }

    void connectionObjectFailure()
    {
        Window w("[Database]\nServer1=a\n", [](CSchemaDlg& dlg) {
            dlg.SetStartupFactories([] { return std::unique_ptr<COdbcConnection>(); },
                                    [] { return std::make_unique<COdbcRecordset>(); });
        });
        QCOMPARE(std::exchange(w.messages, {}), QStringList{"错误|0x10|初始化Connection Instance错误!"});
        for (QTreeWidget* list : {w->m_databaseList, w->m_tableList, w->m_columnList})
            QCOMPARE(list->columnCount(), 0);
        ClickExit(w);
        QVERIFY(!w->isVisible());
    }

    // A list's text is its column headers.
    void controls_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        const std::tuple<int, const char*, bool, bool> rows[] = {
            {1000, "", 1, 1}, {1004, "", 0, 1}, {1013, "", 0, 1}, {1014, "", 0, 1}, {1017, "", 0, 1},
            {1022, "", 0, 1}, {1024, "", 0, 1}, {1027, "", 1, 0}, {1029, "", 1, 0},
            {1001, "名称", 0, 1}, {1002, "名称|描述", 0, 1}, {1003, "名称|类型|长度|小数|空值|主键|自增|默认|描述", 0, 1},
            {1006, "退出(&X)", 1, 1}, {1015, "连接(&C)", 0, 1}, {1020, "更新(&S)", 0, 1}, {1021, "更新(&T)", 0, 1},
            {1030, "导出(&E)", 0, 1}, {1007, "数据库: 0", 1, 1}, {1008, "表: 0", 1, 1}, {1009, "字段: 0", 1, 1},
            {1010, "服务器: ", 1, 1}, {1011, "用户: ", 1, 1}, {1012, "密码: ", 1, 1}, {1016, "端口: ", 1, 1},
            {1018, "类型: ", 1, 1}, {1023, "表描述: ", 1, 1}, {1025, "字段描述: ", 1, 1},
        };
        for (const auto& [id, text, enabled, visible] : rows)
            QTest::addRow("%d", id) << id << QString::fromUtf8(text) << enabled << visible;
    }
    void controls()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        Window w;
        QWidget* control = w->Control(id);
        QVERIFY(control);
        QString shown = control->inherits("QProgressBar") ? QString() : control->property("text").toString();
        if (auto* list = qobject_cast<QTreeWidget*>(control)) {
            QStringList headers;
            for (int i = 0; i < list->columnCount(); ++i)
                headers.append(list->headerItem()->text(i));
            shown = headers.join(u'|');
        }
        QCOMPARE(shown, text);
        QCOMPARE(control->isEnabled(), enabled);
        QCOMPARE(control->isVisible(), visible);
    }

    void formatTrace_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text_and_number") << QStringLiteral("%s=%d;") << QStringLiteral("表") << QStringLiteral("表=7;\n");
        QTest::newRow("percent") << QStringLiteral("100%% %s") << QStringLiteral("%d") << QStringLiteral("100% %d\n");
        QTest::newRow("cut_at_1022") << QStringLiteral("%s") << QString(1500, u'b') << QString(1022, u'b') + u'\n';
    }
    void formatTrace()
    {
        QFETCH(QString, format);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(FormatTrace(format, {text, 7}), expected);
    }

    // Icon, buttons, default button, then the answers to Yes and to a box
    // closed without a button.
    void messageBoxStyle_data()
    {
        QTest::addColumn<unsigned>("style");
        QTest::addColumn<QList<int>>("look");
        const int ok = QMessageBox::Ok;
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        QTest::newRow("stop") << 0x10u << QList<int>{QMessageBox::Critical, ok, ok, kIdOk, kIdOk};
        QTest::newRow("exclamation") << 0x30u << QList<int>{QMessageBox::Warning, ok, ok, kIdOk, kIdOk};
        QTest::newRow("information") << 0x40u << QList<int>{QMessageBox::Information, ok, ok, kIdOk, kIdOk};
        QTest::newRow("question_default_no")
            << 0x124u << QList<int>{QMessageBox::Question, yesNo, QMessageBox::No, kIdYes, kIdNo};
    }
    void messageBoxStyle()
    {
        QFETCH(unsigned, style);
        QFETCH(QList<int>, look);
        const MessageBoxLook shown = MessageBoxLookFor(style);
        const QList<int> answers{MessageAnswerFor(style, QMessageBox::Yes),
                                 MessageAnswerFor(style, QMessageBox::NoButton)};
        QCOMPARE(QList<int>({shown.icon, int(shown.buttons), shown.defaultButton}) + answers, look);
    }
};

QTEST_MAIN(TestSchemaDlgWindow)
#include "TestSchemaDlgWindow.moc"
