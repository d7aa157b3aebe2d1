#include "TestSchemaDlgHarness.h"

#include "ui/StatusLabel.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {

// Dialog units to pixels, from the window font's metrics.
QRect DialogRect(const QWidget& window, int x, int y, int w, int h)
{
    const QFontMetrics metrics(window.font());
    const auto px = [&](int units) { return qRound(units * metrics.averageCharWidth() / 4.0); };
    const auto py = [&](int units) { return qRound(units * metrics.height() / 8.0); };
    return QRect(px(x), py(y), px(w), py(h));
}

} // namespace

class TestSchemaDlgWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void windowFrame();
    void tabOrder();
    void listColumns_data();
    void listColumns();
    void listSorting();
    void storeLeavesEqualFieldAlone();
    void loadReadsFields();
    void onlyUserEditsEnableUpdate_data();
    void onlyUserEditsEnableUpdate();
    void statusLabelSolidYellow();

private:
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<RecordedWindow> m_w;
    CSchemaDlg* m_window = nullptr;
};

void TestSchemaDlgWindow::init()
{
    m_folder = std::make_unique<WorkingFolder>();
    WorkingFolder::WriteSettings("[Database]\nServer1=alpha\nServer2=beta\n");
    m_w = std::make_unique<RecordedWindow>();
    m_window = m_w->window.get();
    QVERIFY(m_w->Show());
}

void TestSchemaDlgWindow::cleanup()
{
    QVERIFY(m_w->messages.isEmpty());
    m_w.reset();
    m_folder.reset();
}

void TestSchemaDlgWindow::controls_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QRect>("units");

    const auto row = [](int id, const char* cls, const QString& text, bool enabled, bool visible, QRect units) {
        QTest::addRow("%d", id) << id << QString::fromLatin1(cls) << text << enabled << visible << units;
    };
    row(1000, "QComboBox", QString(), true, true, {37, 6, 88, 14});
    row(1004, "QComboBox", QString(), false, true, {155, 6, 60, 14});
    row(1017, "QLineEdit", QString(), false, true, {246, 6, 33, 14});
    row(1013, "QLineEdit", QString(), false, true, {309, 6, 47, 14});
    row(1014, "QLineEdit", QString(), false, true, {384, 6, 79, 14});
    row(1015, "QPushButton", QStringLiteral("连接(&C)"), false, true, {489, 6, 50, 14});
    row(1001, "QTreeWidget", QString(), false, true, {7, 38, 172, 192});
    row(1002, "QTreeWidget", QString(), false, true, {184, 38, 418, 192});
    row(1022, "QLineEdit", QString(), false, true, {329, 23, 210, 14});
    row(1021, "QPushButton", QStringLiteral("更新(&T)"), false, true, {552, 23, 50, 14});
    row(1003, "QTreeWidget", QString(), false, true, {7, 248, 595, 181});
    row(1024, "QLineEdit", QString(), false, true, {227, 233, 312, 14});
    row(1020, "QPushButton", QStringLiteral("更新(&S)"), false, true, {552, 233, 50, 14});
    row(1006, "QPushButton", QStringLiteral("退出(&X)"), true, true, {552, 6, 50, 14});
    row(1007, "QLabel", QStringLiteral("数据库: 0"), true, true, {7, 24, 122, 8});
    row(1008, "QLabel", QStringLiteral("表: 0"), true, true, {184, 24, 101, 8});
    row(1009, "QLabel", QStringLiteral("字段: 0"), true, true, {7, 235, 99, 8});
    row(1011, "QLabel", QStringLiteral("用户: "), true, true, {280, 9, 28, 8});
    row(1012, "QLabel", QStringLiteral("密码: "), true, true, {356, 9, 26, 8});
    row(1023, "QLabel", QStringLiteral("表描述: "), true, true, {287, 26, 41, 8});
    row(1025, "QLabel", QStringLiteral("字段描述: "), true, true, {168, 235, 57, 8});
    row(1027, "QProgressBar", QString(), true, false, {7, 22, 284, 14});
    row(1029, "CStatusLabel", QString(), true, false, {67, 130, 475, 175});
    row(1030, "QPushButton", QStringLiteral("导出(&E)"), false, true, {129, 22, 50, 14});
    row(1016, "QLabel", QStringLiteral("端口: "), true, true, {217, 9, 28, 8});
    row(1018, "QLabel", QStringLiteral("类型: "), true, true, {129, 9, 24, 8});
    row(1010, "QLabel", QStringLiteral("服务器: "), true, true, {7, 9, 30, 8});
}

void TestSchemaDlgWindow::controls()
{
    QFETCH(int, id);
    QFETCH(QString, className);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);
    QFETCH(QRect, units);

    QWidget* control = m_window->Control(id);
    QVERIFY(control);
    QCOMPARE(control->objectName(), QString::number(id));
    QVERIFY2(control->inherits(className.toLatin1()), control->metaObject()->className());
    if (control->metaObject()->indexOfProperty("text") >= 0 && !control->inherits("QComboBox")
        && !control->inherits("QProgressBar"))
        QCOMPARE(control->property("text").toString(), text);
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->isVisible(), visible);
    QCOMPARE(control->geometry(), DialogRect(*m_window, units.x(), units.y(), units.width(), units.height()));
}

void TestSchemaDlgWindow::windowFrame()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("SQL数据库表及字段描述信息 (Ver: 23.16.10.23)"));
    const QSize size = DialogRect(*m_window, 0, 0, 609, 436).size();
    QCOMPARE(m_window->size(), size);
    QCOMPARE(m_window->minimumSize(), size);
    QCOMPARE(m_window->maximumSize(), size);
    QVERIFY(!m_window->windowIcon().isNull());
    QVERIFY(!(m_window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    QCOMPARE(qobject_cast<QLineEdit*>(m_window->Control(1014))->echoMode(), QLineEdit::Password);
    for (int id : {1015, 1021, 1020, 1006, 1030}) {
        auto* button = qobject_cast<QPushButton*>(m_window->Control(id));
        QCOMPARE(button->isDefault(), id == 1015);
        QCOMPARE(button->autoDefault(), false);
    }
    QVERIFY(m_window->m_serverCombo->isEditable());
    QVERIFY(m_window->m_kindCombo->isEditable());
    QCOMPARE(m_window->m_kindCombo->count(), 2);
    QCOMPARE(m_window->m_kindCombo->itemText(0), QStringLiteral("SQLServer"));
    QCOMPARE(m_window->m_kindCombo->itemText(1), QStringLiteral("MySQL"));
    QVERIFY(m_window->m_kindCombo->itemIcon(0).isNull());
    QCOMPARE(m_window->m_kindCombo->currentText(), QString());

    QCOMPARE(m_window->m_imageList.size(), 4);
    for (const QIcon& icon : m_window->m_imageList)
        QCOMPARE(icon.pixmap(16, 16).size(), QSize(16, 16));
    QVERIFY(m_window->m_serverCombo->hasFocus() || m_window->m_serverCombo->lineEdit()->hasFocus());
}

void TestSchemaDlgWindow::tabOrder()
{
    // Enable every control so the walk sees them all.
    for (QWidget* child : m_window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->setEnabled(true);

    QList<int> order;
    QWidget* start = m_window->m_serverCombo;
    start->setFocus();
    QTRY_VERIFY(start->hasFocus() || m_window->m_serverCombo->lineEdit()->hasFocus());
    for (int step = 0; step < 40; ++step) {
        QWidget* focus = QApplication::focusWidget();
        while (focus && focus->parentWidget() != m_window)
            focus = focus->parentWidget();
        QVERIFY(focus);
        const int id = focus->objectName().toInt();
        if (!order.isEmpty() && id == order.first())
            break;
        order.append(id);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, (QList<int>{1000, 1004, 1017, 1013, 1014, 1015, 1022, 1021, 1024, 1020, 1006, 1030}));
}

void TestSchemaDlgWindow::listColumns_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QList<int>>("alignments");

    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    const int right = Qt::AlignRight | Qt::AlignVCenter;
    const int centre = Qt::AlignHCenter | Qt::AlignVCenter;
    QTest::newRow("databases") << 1001 << QStringList{"名称"} << QList<int>{230} << QList<int>{left};
    QTest::newRow("tables") << 1002 << QStringList{"名称", "描述"} << QList<int>{230, 370} << QList<int>{left, left};
    QTest::newRow("structure") << 1003
                               << QStringList{"名称", "类型", "长度", "小数", "空值", "主键", "自增", "默认", "描述"}
                               << QList<int>{150, 90, 40, 40, 40, 40, 40, 140, 290}
                               << QList<int>{left, left, right, right, centre, centre, centre, left, left};
}

void TestSchemaDlgWindow::listColumns()
{
    QFETCH(int, id);
    QFETCH(QStringList, headers);
    QFETCH(QList<int>, widths);
    QFETCH(QList<int>, alignments);

    auto* list = qobject_cast<QTreeWidget*>(m_window->Control(id));
    QCOMPARE(list->columnCount(), headers.size());
    for (int i = 0; i < headers.size(); ++i) {
        QCOMPARE(list->headerItem()->text(i), headers[i]);
        QCOMPARE(list->columnWidth(i), widths[i]);
        QCOMPARE(list->headerItem()->textAlignment(i), alignments[i]);
    }
    QVERIFY(!list->rootIsDecorated());
    QVERIFY(list->uniformRowHeights());
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(list->header()->sectionsMovable());
    QCOMPARE(list->iconSize(), QSize(16, 16));
}

void TestSchemaDlgWindow::listSorting()
{
    for (int id : {1001, 1002, 1003}) {
        auto* list = qobject_cast<QTreeWidget*>(m_window->Control(id));
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{"b"}));
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{"a"}));
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{"c"}));
        const QString first = list->topLevelItem(0)->text(0);
        QCOMPARE(first, id == 1003 ? QStringLiteral("b") : QStringLiteral("a"));
        // Clicking a header does not re-sort.
        QVERIFY(!list->header()->sectionsClickable());
    }
}

void TestSchemaDlgWindow::storeLeavesEqualFieldAlone()
{
    auto* port = qobject_cast<QLineEdit*>(m_window->Control(1017));
    auto* user = qobject_cast<QLineEdit*>(m_window->Control(1013));
    port->setText(QStringLiteral("3306"));
    port->setSelection(1, 2);
    QSignalSpy portChanged(port, &QLineEdit::textChanged);
    QSignalSpy userChanged(user, &QLineEdit::textChanged);

    m_window->m_port = QStringLiteral("3306");
    m_window->m_user = QStringLiteral("sa");
    m_window->StoreFields();

    QCOMPARE(portChanged.count(), 0);
    QCOMPARE(port->selectionStart(), 1);
    QCOMPARE(port->selectedText(), QStringLiteral("30"));
    QCOMPARE(userChanged.count(), 1);
    QCOMPARE(user->text(), QStringLiteral("sa"));
}

void TestSchemaDlgWindow::loadReadsFields()
{
    const QList<std::pair<int, QString CSchemaDlg::*>> bound = {
        {1017, &CSchemaDlg::m_port},      {1013, &CSchemaDlg::m_user},
        {1014, &CSchemaDlg::m_password},  {1022, &CSchemaDlg::m_tableDesc},
        {1024, &CSchemaDlg::m_columnDesc},
    };
    for (const auto& [id, member] : bound)
        qobject_cast<QLineEdit*>(m_window->Control(id))->setText(QStringLiteral("text %1").arg(id));
    m_window->LoadFields();
    for (const auto& [id, member] : bound)
        QCOMPARE(m_window->*member, QStringLiteral("text %1").arg(id));
}

void TestSchemaDlgWindow::onlyUserEditsEnableUpdate_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("button");
    QTest::newRow("table_description") << 1022 << 1021;
    QTest::newRow("column_description") << 1024 << 1020;
}

void TestSchemaDlgWindow::onlyUserEditsEnableUpdate()
{
    QFETCH(int, field);
    QFETCH(int, button);
    auto* edit = qobject_cast<QLineEdit*>(m_window->Control(field));
    edit->setEnabled(true);

    (field == 1022 ? m_window->m_tableDesc : m_window->m_columnDesc) = QStringLiteral("from the server");
    m_window->StoreFields();
    QCOMPARE(edit->text(), QStringLiteral("from the server"));
    QVERIFY(!m_window->Control(button)->isEnabled());

    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("x"));
    QVERIFY(m_window->Control(button)->isEnabled());
}

void TestSchemaDlgWindow::statusLabelSolidYellow()
{
    CStatusLabel* label = m_window->m_statusLabel;
    label->SetLabelText(QStringLiteral("W"));
    label->show();
    const QImage image = label->grab().toImage();
    QCOMPARE(image.pixelColor(2, 2), QColor(255, 255, 0));
    QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 3), QColor(255, 255, 0));
}

QTEST_MAIN(TestSchemaDlgWindow)
#include "TestSchemaDlgWindow.moc"
