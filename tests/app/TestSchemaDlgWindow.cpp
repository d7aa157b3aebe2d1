#include "support/WindowHarness.h"

#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>

struct Box { unsigned style; int icon, defaultButton, pressed, answer; };

static void ClickExit(Window& w) { QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1006)), Qt::LeftButton); }

class TestSchemaDlgWindow : public QObject
{
    Q_OBJECT
private slots:
    void startAndClose_data()
    {
        QTest::addColumn<Scene>("scene");
        Scenario("first_start", {}, {}, {"history=", "ini:Database/Server1=", "enabled=1000 1006"});
        Scenario("newest_first", "[Database]\nServer1=a\nServer2=b\nServer3=c\n", {},
                 {"history=c,b,a", "server=", "ini:Database/Server4="});
        Scenario("gap_ends_history", "[Database]\nServer1=a\nServer3=c\n", {},
                 {"history=a", "ini:Database/Server2=", "ini:Database/Server3=c"});
        // Alt+F4 and the title bar's button reach the window as the platform's close request.
        Scenario("escape_and_platform_close_refused", {}, [](Window& w) {
            QTest::keyClick(w.dlg.get(), Qt::Key_Escape);
            QVERIFY(!w->windowHandle()->close());
        }, {"visible=yes"});
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

    // Tab walks the tab stops in order; Enter in a field presses Connect; the
    // password is masked; F1 and the context menu open the about box.
    void tabOrderDefaultButtonAndAboutBox()
    {
        Window w;
        QCOMPARE(w.Edit(1014)->echoMode(), QLineEdit::Password);
        for (QWidget* control : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            control->setEnabled(true);
        Focus(w->m_serverCombo);
        QStringList order;
        for (int i = 0; i < 13; ++i, Key(Qt::Key_Tab))
            for (QWidget* focus = QApplication::focusWidget(); focus; focus = focus->parentWidget())
                if (focus->parentWidget() == w.dlg.get())
                    order << focus->objectName();
        QCOMPARE(order.join(u' '), "1000 1004 1017 1013 1014 1015 1022 1021 1024 1020 1006 1030 1000");
        auto* connectButton = qobject_cast<QPushButton*>(w->Control(1015));
        connectButton->disconnect(w.dlg.get()); // the press alone is watched
        QSignalSpy pressed(connectButton, &QPushButton::clicked);
        Focus(w.Edit(1014));
        Key(Qt::Key_Return);
        QCOMPARE(pressed.count(), 1);
        QStringList seen;
        QTimer answer; // picks the menu's item by its mnemonic, presses the box's OK
        answer.callOnTimeout([&seen] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                seen << menu->actions().value(0)->text();
                // Queued: the box it opens runs its own loop, in which this timer would not fire again.
                QMetaObject::invokeMethod(menu, [menu] { QTest::keyClick(menu, Qt::Key_A); }, Qt::QueuedConnection);
            } else if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle();
                QTest::mouseClick(box->findChild<QPushButton*>("1"), Qt::LeftButton);
            }
        });
        answer.start(20);
        Key(Qt::Key_F1);
        QContextMenuEvent click(QContextMenuEvent::Mouse, {9, 9}, w->mapToGlobal(QPoint(9, 9)));
        QApplication::sendEvent(w.dlg.get(), &click);
        QCOMPARE(seen, (QStringList{"About Velmora", "&About Velmora...", "About Velmora"}));
    }

    // The real box each style shows: its icon, its default button, and the
    // answer to the button pressed.
    void messageBox_data()
    {
        QTest::addColumn<Box>("row");
        QTest::newRow("stop") << Box{0x10, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, 1};
        QTest::newRow("warning") << Box{0x30, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, 1};
        QTest::newRow("information") << Box{0x40, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, 1};
        QTest::newRow("question_yes") << Box{0x124, QMessageBox::Question, QMessageBox::No, QMessageBox::Yes, 6};
        QTest::newRow("question_no") << Box{0x124, QMessageBox::Question, QMessageBox::No, QMessageBox::No, 7};
    }
    void messageBox()
    {
        QFETCH(Box, row);
        const auto [style, icon, defaultButton, pressed, answer] = row;
        CSchemaDlg dlg;
        QList<int> seen;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen << box->icon() << box->standardButton(box->defaultButton());
            box->button(QMessageBox::StandardButton(pressed))->click();
        });
        QCOMPARE(dlg.MessageBox(u"文本"_qs, u"提示"_qs, style), answer);
        QCOMPARE(seen, (QList<int>{icon, defaultButton}));
    }
};

QTEST_MAIN(TestSchemaDlgWindow)
#include "TestSchemaDlgWindow.moc"
