// The key filter and the focus handling of lists and description fields.

#include "TestSchemaDlgHarness.h"

// Three rows with empty names, so that no listing handler asks a server; as
// the list handler will, a new selection sets the current row.
static QTreeWidget* FillList(Window& w, bool tables, int current)
{
    QTreeWidget* list = tables ? w->m_tableList : w->m_columnList;
    int& row = tables ? w->m_tableRow : w->m_columnRow;
    for (int i = 0; i < 3; ++i)
        list->addTopLevelItem(new QTreeWidgetItem({QString(), QString::number(i)}));
    list->setEnabled(true);
    list->setCurrentItem(list->topLevelItem(current));
    row = current;
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, list,
                     [list, &row] { row = list->indexOfTopLevelItem(list->selectedItems().value(0)); });
    return list;
}

// A key pressed in a description field while its list is on row `current`.
static Act Press(bool tables, int current, bool updateEnabled, int key)
{
    return [=](Window& w) {
        FillList(w, tables, current);
        w->Control(tables ? 1021 : 1020)->setEnabled(updateEnabled);
        Focus(w.Edit(tables ? 1022 : 1024));
        Key(key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    };
}

// The focus comes back to a list whose row is `row`, nothing marked.
static Act FocusList(bool tables, int row)
{
    return [=](Window& w) {
        QTreeWidget* list = FillList(w, tables, -1);
        (tables ? w->m_tableRow : w->m_columnRow) = row;
        Focus(w.Edit(1013));
        Focus(list);
    };
}

// A click into a description field, which places the cursor once the focus
// has arrived.
static Act Click(int id)
{
    return [id](Window& w) {
        w.Edit(id)->setText(QStringLiteral("订单表 orders"));
        w.Edit(id)->setEnabled(true);
        Focus(w.Edit(1013));
        QTest::mouseClick(w.Edit(id), Qt::LeftButton, {}, w.Edit(id)->rect().center());
        QTest::qWait(20);
    };
}

class TestKeyFilter : public QObject
{
    Q_OBJECT
private slots:
    // With the update button enabled Down and Enter update instead of moving.
    void keysAndFocus_data()
    {
        AddScenarioColumns();
        Scenario("table_up_moves", {}, Press(true, 2, false, Qt::Key_Up), {"table=1@1", "trace=当前表行号: 1"});
        Scenario("table_up_on_first_row", {}, Press(true, 0, false, Qt::Key_Up), {"table=0@0", "trace=当前表行号: 0"});
        Scenario("table_return_moves", {}, Press(true, 1, false, Qt::Key_Return), {"table=2@2", "trace=当前表行号: 2"});
        Scenario("table_down_updates", {}, Press(true, 0, true, Qt::Key_Down), {"table=0@0", "trace="});
        Scenario("column_down_on_last_row", {}, Press(false, 2, false, Qt::Key_Down),
                 {"column=2@2", "trace=当前字段行号: 2"});
        Scenario("column_keypad_enter_moves", {}, Press(false, 0, false, Qt::Key_Enter),
                 {"column=1@1", "trace=当前字段行号: 1"});
        Scenario("column_return_updates", {}, Press(false, 1, true, Qt::Key_Return), {"column=1@1", "trace="});
        Scenario("table_focus_marks_row", {}, FocusList(true, 2), {"table=2@2"});
        Scenario("column_focus_marks_row", {}, FocusList(false, 1), {"column=1@1"});
        Scenario("focus_row_past_the_end", {}, FocusList(false, 7), {"column=@-1"});
        Scenario("table_description_click_selects", {}, Click(1022), {"selected=订单表 orders"});
        Scenario("column_description_click_selects", {}, Click(1024), {"selected=订单表 orders"});
    }
    void keysAndFocus() { RunScenario(); }
};

QTEST_MAIN(TestKeyFilter)
#include "TestKeyFilter.moc"
