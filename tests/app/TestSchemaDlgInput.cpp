#include "support/WindowHarness.h"

#include "app/TypingKey.h"

// What a MySQL connection leaves in the lists, fields and buttons.
static void AfterConnection(Window& w)
{
    for (QTreeWidget* list : {w->m_databaseList, w->m_tableList, w->m_columnList})
        list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("x")}));
    for (int id : {1001, 1002, 1003, 1020, 1021, 1022, 1024, 1030})
        w->Control(id)->setEnabled(true);
    for (int id : {1017, 1013, 1014, 1022, 1024})
        w.Edit(id)->setText(QStringLiteral("old"));
    w->m_kind = 2;
}

// Picks an item the way a user does: open the list, move to it, press Enter.
static void Choose(QComboBox* combo, int index)
{
    combo->showPopup();
    combo->view()->setCurrentIndex(combo->model()->index(index, 0));
    QTest::keyClick(combo->view(), Qt::Key_Return);
}

// Port 4711 typed; kind 0 is what no choice in the kind box gives.
static void TypePort(Window& w)
{
    w->EnableConnectionControls(true);
    w->m_kind = 0;
    Type(w.Edit(1017), QStringLiteral("4711"));
}

// Rows with empty names, so that no listing asks a server; row `current`
// marked and `row` remembered, as a new selection sets it.
static QTreeWidget* FillList(Window& w, bool tables, int current, int row, int rows = 3)
{
    QTreeWidget* list = tables ? w->m_tableList : w->m_columnList;
    int& remembered = tables ? w->m_tableRow : w->m_columnRow;
    for (int i = 0; i < rows; ++i)
        list->addTopLevelItem(new QTreeWidgetItem({QString(), QString::number(i)}));
    list->setEnabled(true);
    list->setCurrentItem(list->topLevelItem(current));
    remembered = row;
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, list,
                     [list, &remembered] { remembered = list->indexOfTopLevelItem(list->selectedItems().value(0)); });
    return list;
}

// A key pressed in a description field while its list is on row `current`.
static Act Press(bool tables, int current, bool updateEnabled, QKeyCombination key)
{
    return [=](Window& w) {
        FillList(w, tables, current, current);
        w->Control(tables ? 1021 : 1020)->setEnabled(updateEnabled);
        Focus(w.Edit(tables ? 1022 : 1024));
        Key(key);
    };
}

// A click into a description field places the cursor once the focus has arrived.
static Act Click(int id)
{
    return [id](Window& w) {
        w.Edit(id)->setText(QStringLiteral("订单表 orders"));
        w.Edit(id)->setEnabled(true);
        QTest::mouseClick(w.Edit(id), Qt::LeftButton, {}, w.Edit(id)->rect().center());
        QTest::qWait(20);
    };
}

struct KeyRow { int key, modifiers, keycode; bool counts; };

class TestSchemaDlgInput : public QObject
{
    Q_OBJECT
private slots:
    void input_data()
    {
        QTest::addColumn<Scene>("scene");
        const QByteArray a = "[Database]\nServer1=a\n";
        const Act typeDb1 = [](Window& w) { AfterConnection(w); Type(w->m_serverCombo, "db1\t"); };
        const Act chooseDb9 = [](Window& w) { w->m_kind = 0; Choose(w->m_serverCombo, 0); };
        const QString pass = CPasswordCodec().Encode(QStringLiteral("s3cret"), CPasswordCodec::kSeed);
        const auto history = [&pass](const char* type) {
            return QStringLiteral("[Database]\nServer1=db9\n[db9]\nType=%1\nPort=3307\nUser=root\nPass=%2\n").arg(type, pass);
        };
        const QStringList db9 = {"trace=选择服务器: db9", "fields=3307|root|s3cret||"};
        Scenario("letter_typed", a, [](Window& w) { AfterConnection(w); Type(w->m_serverCombo, "s"); },
                 {"trace=", "kind=2", "lists=1,1,1",
                  "enabled=1000 1001 1002 1003 1004 1006 1013 1014 1015 1017 1020 1021 1030"});
        Scenario("typed_server_applied", a, typeDb1,
                 {"trace=输入服务器: db1", "kind=1", "fields=||||", "lists=0,0,0",
                  "enabled=1000 1004 1006 1013 1014 1015 1017 1020 1021", "ini:db1/Type=<missing>"});
        Scenario("typed_history_name_stays_typed", "[Database]\nServer1=db1\n[db1]\nType=MySQL\nPort=3307\n", typeDb1,
                 {"trace=输入服务器: db1", "kind=1", "fields=||||"});
        // Opening the server box's list ends the editing of its text.
        Scenario("drop_down_applies_typed", a, [](Window& w) {
            Type(w->m_serverCombo, "db7");
            w->m_serverCombo->showPopup();
            QCOMPARE(w->m_serverEdited, 0);
            w->m_serverCombo->hidePopup();
        }, {"trace=输入服务器: db7", "server=db7"});
        Scenario("backspace_applies_nothing", "[Database]\nServer1=host1\n", [](Window& w) {
            w->m_serverCombo->setCurrentIndex(0);
            Focus(w->m_serverCombo);
            Key(Qt::Key_End);
            QTest::keyClicks(QApplication::focusWidget(), "\b\t");
        }, {"server=host", "trace=", "enabled=1000 1006"});
        Scenario("history_mysql_any_case", history("mySQL").toUtf8(), chooseDb9, db9 + QStringList{"kind=2", "kindBox=mySQL"});
        Scenario("history_sqlserver", history("SQLServer").toUtf8(), chooseDb9,
                 db9 + QStringList{"kind=1", "kindBox=SQLServer"});
        Scenario("history_section_missing", "[Database]\nServer1=db9\n", chooseDb9,
                 {"kind=1", "ini:db9/Type=", "ini:db9/Port=", "ini:db9/User=", "ini:db9/Pass="});
        Scenario("kind_mysql_chosen", {}, [](Window& w) { TypePort(w); Choose(w->m_kindCombo, 1); },
                 {"kind=2", "fields=3306||||"});
        Scenario("kind_sqlserver_chosen", {}, [](Window& w) { TypePort(w); Choose(w->m_kindCombo, 0); },
                 {"kind=1", "fields=1433||||"});
        Scenario("kind_typed_is_no_choice", {}, [](Window& w) { TypePort(w); Type(w->m_kindCombo, "MySQL\t"); },
                 {"kind=0", "fields=4711||||"});
        // With the update button enabled Down and Enter update instead of moving.
        Scenario("table_up_moves", {}, Press(true, 2, false, Qt::Key_Up), {"table=1@1", "trace=当前表行号: 1"});
        Scenario("table_up_on_first_row", {}, Press(true, 0, false, Qt::Key_Up), {"table=0@0", "trace=当前表行号: 0"});
        Scenario("table_return_moves", {}, Press(true, 1, false, Qt::Key_Return), {"table=2@2", "trace=当前表行号: 2"});
        Scenario("table_down_updates", {}, Press(true, 0, true, Qt::Key_Down), {"table=0@0", "trace="});
        Scenario("column_down_on_last_row", {}, Press(false, 2, false, Qt::Key_Down),
                 {"column=2@2", "trace=当前字段行号: 2"});
        Scenario("column_keypad_enter_moves", {}, Press(false, 0, false, Qt::KeypadModifier | Qt::Key_Enter),
                 {"column=1@1", "trace=当前字段行号: 1"});
        Scenario("column_return_updates", {}, Press(false, 1, true, Qt::Key_Return), {"column=1@1", "trace="});
        Scenario("move_scrolls_far_row_into_view", {}, [](Window& w) {
            QTreeWidget* list = FillList(w, false, 0, 0, 200);
            w->MoveListRow(list, 0, 150);
            QVERIFY(list->viewport()->rect().intersects(list->visualItemRect(list->topLevelItem(150))));
        }, {"column=150@150"});
        Scenario("table_focus_marks_row", {}, [](Window& w) { Focus(FillList(w, true, -1, 2)); }, {"table=2@2"});
        // Marking the row selects the column, which takes the focus on to its description.
        Scenario("column_focus_marks_row", {}, [](Window& w) { FillList(w, false, -1, 1)->setFocus(Qt::TabFocusReason); },
                 {"column=1@1", "enabled=1000 1003 1006 1024"});
        Scenario("focus_row_past_the_end", {}, [](Window& w) { Focus(FillList(w, false, -1, 7)); }, {"column=@-1"});
        // The window closes through Exit only, so the filter itself eats Escape
        // and Alt+F4 pressed in any of its controls, and no other key.
        Scenario("close_keys_eaten", {}, [](Window& w) {
            for (const char* expected : {"Esc eaten", "Alt+F4 eaten", "F4 passed", "A passed"}) {
                const QKeyCombination keys = QKeySequence(QString::fromLatin1(expected).section(u' ', 0, 0))[0];
                QKeyEvent press(QEvent::KeyPress, keys.key(), keys.keyboardModifiers());
                const bool eaten = w->PreTranslateMessage(w.Edit(1013), &press);
                QCOMPARE(QKeySequence(keys).toString() + (eaten ? " eaten" : " passed"), QString::fromLatin1(expected));
            }
        }, {"visible=yes"});
        Scenario("table_description_click_selects", {}, Click(1022), {"selected=订单表 orders"});
        Scenario("column_description_click_selects", {}, Click(1024), {"selected=订单表 orders"});
    }
    void input() { RunScenario(); }

    // With X11's keycodes keys count by where they sit: a Cyrillic letter on
    // the A key, Shift+1, the ends of the digit and letter rows; not the full
    // stop's key. Without, by the key Qt names (typed into the server box too).
    void serverTypingKeys_data()
    {
        QTest::addColumn<KeyRow>("row");
        const int shift = Qt::ShiftModifier, alt = Qt::AltModifier, keypad = Qt::KeypadModifier;
        QTest::newRow("letter") << KeyRow{int(Qt::Key_Q), 0, 0, true};
        QTest::newRow("digit") << KeyRow{int(Qt::Key_7), 0, 0, true};
        QTest::newRow("ctrl_v_paste") << KeyRow{int(Qt::Key_V), int(Qt::ControlModifier), 0, true};
        QTest::newRow("alt_letter_is_mnemonic") << KeyRow{int(Qt::Key_C), alt, 0, false};
        QTest::newRow("full_stop") << KeyRow{int(Qt::Key_Period), 0, 0, false};
        QTest::newRow("keypad_digit") << KeyRow{int(Qt::Key_4), keypad, 0, true};
        QTest::newRow("keypad_without_numlock") << KeyRow{int(Qt::Key_Left), keypad, 0, false};
        QTest::newRow("backspace") << KeyRow{int(Qt::Key_Backspace), 0, 0, false};
        QTest::newRow("cyrillic_on_a_key") << KeyRow{0x0424, 0, 38, true};
        QTest::newRow("shift_1_key") << KeyRow{int(Qt::Key_Exclam), shift, 10, true};
        QTest::newRow("0_key") << KeyRow{int(Qt::Key_ParenRight), shift, 19, true};
        QTest::newRow("key_after_0") << KeyRow{int(Qt::Key_Minus), 0, 20, false};
        QTest::newRow("q_key") << KeyRow{int(Qt::Key_Q), 0, 24, true};
        QTest::newRow("key_before_q") << KeyRow{int(Qt::Key_Tab), 0, 23, false};
        QTest::newRow("m_key") << KeyRow{int(Qt::Key_M), 0, 58, true};
        QTest::newRow("full_stop_key") << KeyRow{int(Qt::Key_Period), 0, 60, false};
        QTest::newRow("alt_q_key") << KeyRow{int(Qt::Key_Q), alt, 24, false};
    }
    void serverTypingKeys()
    {
        QFETCH(KeyRow, row);
        const auto [key, modifiers, keycode, counts] = row;
        QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), quint32(keycode), 0, 0);
        QCOMPARE(IsServerTypingKey(press, keycode != 0), counts);
        if (keycode != 0) {
            if (key == 0x0424) // by name, a Cyrillic letter is no Latin one
                QVERIFY(!IsServerTypingKey(press, false));
            return;
        }
        Window w("[Database]\nServer1=a\n");
        Focus(w->m_serverCombo);
        w->Control(1015)->setEnabled(false);
        QTest::keyClick(w->m_serverCombo, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w->m_serverEdited, counts ? 1 : 0);
        QCOMPARE(w->Control(1015)->isEnabled(), counts);
    }
};

QTEST_MAIN(TestSchemaDlgInput)
#include "TestSchemaDlgInput.moc"
