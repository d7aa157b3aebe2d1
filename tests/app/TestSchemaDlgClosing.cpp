#include "TestSchemaDlgHarness.h"

#include "app/MessageBoxStyle.h"
#include "app/SchemaApp.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

namespace {
// What the modal box that shows up next looked like; closes it with OK.
struct ModalSeen {
    QString title;
    QString className;
};

void CloseNextModal(ModalSeen* seen)
{
    QTimer::singleShot(0, qApp, [seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return CloseNextModal(seen);
        seen->title = modal->windowTitle();
        seen->className = QString::fromLatin1(modal->metaObject()->className());
        if (auto* ok = modal->findChild<QPushButton*>(QStringLiteral("1")))
            ok->click();
        else
            modal->close();
    });
}

} // namespace

// How the window closes, the about box and the message boxes' language.
class TestSchemaDlgClosing : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void closeRequestsIgnored_data();
    void closeRequestsIgnored();
    void exitCloses_data();
    void exitCloses();
    void aboutBox_data();
    void aboutBox();
    void messageButtonsSpeakChinese();

private:
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<RecordedWindow> m_w;
    CSchemaDlg* m_window = nullptr;
};

void TestSchemaDlgClosing::init()
{
    m_folder = std::make_unique<WorkingFolder>();
    m_w = std::make_unique<RecordedWindow>();
    m_window = m_w->window.get();
    QVERIFY(m_w->Show());
}

void TestSchemaDlgClosing::cleanup()
{
    QVERIFY(m_w->messages.isEmpty());
    m_w.reset();
    m_folder.reset();
}

void TestSchemaDlgClosing::closeRequestsIgnored_data()
{
    QTest::addColumn<int>("request");
    QTest::newRow("escape") << 0;
    QTest::newRow("alt_f4") << 1;
    QTest::newRow("close_event") << 2;
    QTest::newRow("reject") << 3;
}

void TestSchemaDlgClosing::closeRequestsIgnored()
{
    QFETCH(int, request);
    switch (request) {
    case 0: QTest::keyClick(m_window, Qt::Key_Escape); break;
    case 1: QTest::keyClick(m_window, Qt::Key_F4, Qt::AltModifier); break;
    case 2: QVERIFY(!m_window->close()); break;
    case 3: static_cast<QDialog*>(m_window)->reject(); break;
    }
    QCoreApplication::processEvents();
    QVERIFY(m_window->isVisible());
}

void TestSchemaDlgClosing::exitCloses_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("click") << false;
    QTest::newRow("alt_x") << true;
}

void TestSchemaDlgClosing::exitCloses()
{
    QFETCH(bool, byKey);
    if (byKey)
        QTest::keyClick(m_window, Qt::Key_X, Qt::AltModifier);
    else
        QTest::mouseClick(qobject_cast<QPushButton*>(m_window->Control(1006)), Qt::LeftButton);
    QTRY_VERIFY(!m_window->isVisible());
    QCOMPARE(m_window->result(), int(QDialog::Rejected));
    // Once closed by Exit, a later close request is no longer refused.
    QVERIFY(m_window->close());
}

void TestSchemaDlgClosing::aboutBox_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("context_menu_item") << true;
    QTest::newRow("f1") << false;
}

void TestSchemaDlgClosing::aboutBox()
{
    QFETCH(bool, byMenu);
    ModalSeen seen;
    CloseNextModal(&seen);
    if (byMenu) {
        QAction* item = nullptr;
        for (QAction* action : m_window->actions())
            if (action->text() == QStringLiteral("&About Velmora..."))
                item = action;
        QVERIFY(item);
        QCOMPARE(m_window->contextMenuPolicy(), Qt::ActionsContextMenu);
        item->trigger();
    } else {
        QTest::keyClick(m_window, Qt::Key_F1);
    }
    QCOMPARE(seen.className, QStringLiteral("CAboutDlg"));
    QCOMPARE(seen.title, QStringLiteral("About Velmora"));
    QVERIFY(m_window->isVisible());
}

void TestSchemaDlgClosing::messageButtonsSpeakChinese()
{
    QTranslator qtBase;
    QVERIFY(CSchemaApp::LoadQtTranslation(qtBase));
    QVERIFY(QCoreApplication::installTranslator(&qtBase));
    const MessageBoxLook question = MessageBoxLookFor(kMbYesNoQuestionDefaultNo);
    QMessageBox box(question.icon, QStringLiteral("提示"), QStringLiteral("?"), question.buttons);
    const QMessageBox ok(QMessageBox::Critical, QStringLiteral("错误"), QStringLiteral("!"), QMessageBox::Ok);
    const QString yes = box.button(QMessageBox::Yes)->text();
    const QString no = box.button(QMessageBox::No)->text();
    const QString okText = ok.buttons().value(0)->text();
    QCoreApplication::removeTranslator(&qtBase);
    QVERIFY2(yes.startsWith(QStringLiteral("是")), qPrintable(yes));
    QVERIFY2(no.startsWith(QStringLiteral("否")), qPrintable(no));
    QVERIFY2(okText.startsWith(QStringLiteral("确定")), qPrintable(okText));
}

QTEST_MAIN(TestSchemaDlgClosing)
#include "TestSchemaDlgClosing.moc"
