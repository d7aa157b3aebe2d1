#include "app/DebugTrace.h"
#include "app/MessageBoxStyle.h"
#include "app/SchemaDlg.h"

#include <QTest>

namespace {

QStringList g_logged;

void Capture(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (qstrcmp(context.category, "velmora.trace") == 0)
        g_logged.append(message);
}

} // namespace

class TestSchemaDlgHelpers : public QObject
{
    Q_OBJECT
private slots:
    void formatTrace_data();
    void formatTrace();
    void traceCutKeepsSurrogatePairs();
    void traceSilentUnlessEnabled();
    void messageBoxLook_data();
    void messageBoxLook();
    void messageAnswer_data();
    void messageAnswer();
};

void TestSchemaDlgHelpers::formatTrace_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QList<TraceArg>>("args");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QStringLiteral("abc") << QList<TraceArg>{} << QStringLiteral("abc\n");
    QTest::newRow("row_index") << QStringLiteral("当前表行号: %d") << QList<TraceArg>{3}
                               << QStringLiteral("当前表行号: 3\n");
    QTest::newRow("negative") << QStringLiteral("%d") << QList<TraceArg>{-1} << QStringLiteral("-1\n");
    QTest::newRow("text_and_number") << QStringLiteral("%s=%d;") << QList<TraceArg>{QStringLiteral("表"), 7}
                                     << QStringLiteral("表=7;\n");
    QTest::newRow("percent") << QStringLiteral("100%% %s") << QList<TraceArg>{QStringLiteral("%d")}
                             << QStringLiteral("100% %d\n");
    QTest::newRow("missing_argument") << QStringLiteral("[%s]") << QList<TraceArg>{} << QStringLiteral("[]\n");
    QTest::newRow("unknown_spec_kept") << QStringLiteral("%x %") << QList<TraceArg>{}
                                       << QStringLiteral("%x %\n");
    QTest::newRow("exactly_1022") << QString(1022, u'a') << QList<TraceArg>{} << QString(1022, u'a') + u'\n';
    QTest::newRow("cut_at_1022") << QStringLiteral("%s") << QList<TraceArg>{QString(1500, u'b')}
                                 << QString(1022, u'b') + u'\n';
}

void TestSchemaDlgHelpers::formatTrace()
{
    QFETCH(QString, format);
    QFETCH(QList<TraceArg>, args);
    QFETCH(QString, expected);

    QString actual;
    switch (args.size()) {
    case 0: actual = FormatTrace(format, {}); break;
    case 1: actual = FormatTrace(format, {args[0]}); break;
    default: actual = FormatTrace(format, {args[0], args[1]}); break;
    }
    QCOMPARE(actual, expected);
}

void TestSchemaDlgHelpers::traceCutKeepsSurrogatePairs()
{
    // A pair straddling the cut is dropped whole rather than split.
    const QString emoji = QStringLiteral("\U0001F600");
    const QString text = QString(1021, u'a') + emoji;
    const QString line = FormatTrace(u"%s", {text});
    QCOMPARE(line, QString(1021, u'a') + u'\n');
}

void TestSchemaDlgHelpers::traceSilentUnlessEnabled()
{
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Capture);
    DebugTrace(u"当前字段行号: %d", {4});
    QVERIFY(g_logged.isEmpty());

    QLoggingCategory::setFilterRules(QStringLiteral("velmora.trace.debug=true"));
    DebugTrace(u"当前字段行号: %d", {4});
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    QCOMPARE(g_logged, QStringList{QStringLiteral("当前字段行号: 4")});
}

void TestSchemaDlgHelpers::messageBoxLook_data()
{
    QTest::addColumn<unsigned>("style");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");

    QTest::newRow("stop_0x10") << 0x10u << int(QMessageBox::Critical) << int(QMessageBox::Ok) << int(QMessageBox::Ok);
    QTest::newRow("exclamation_0x30") << 0x30u << int(QMessageBox::Warning) << int(QMessageBox::Ok)
                                      << int(QMessageBox::Ok);
    QTest::newRow("information_0x40") << 0x40u << int(QMessageBox::Information) << int(QMessageBox::Ok)
                                      << int(QMessageBox::Ok);
    QTest::newRow("question_no_default_0x124") << 0x124u << int(QMessageBox::Question)
                                               << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No);
}

void TestSchemaDlgHelpers::messageBoxLook()
{
    QFETCH(unsigned, style);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);

    const MessageBoxLook look = MessageBoxLookFor(style);
    QCOMPARE(int(look.icon), icon);
    QCOMPARE(int(look.buttons), buttons);
    QCOMPARE(int(look.defaultButton), defaultButton);
}

void TestSchemaDlgHelpers::messageAnswer_data()
{
    QTest::addColumn<unsigned>("style");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("answer");

    QTest::newRow("ok") << 0x30u << int(QMessageBox::Ok) << int(kIdOk);
    QTest::newRow("ok_box_closed") << 0x40u << int(QMessageBox::NoButton) << int(kIdOk);
    QTest::newRow("yes") << 0x124u << int(QMessageBox::Yes) << int(kIdYes);
    QTest::newRow("no") << 0x124u << int(QMessageBox::No) << int(kIdNo);
    QTest::newRow("question_closed") << 0x124u << int(QMessageBox::NoButton) << int(kIdNo);
}

void TestSchemaDlgHelpers::messageAnswer()
{
    QFETCH(unsigned, style);
    QFETCH(int, clicked);
    QFETCH(int, answer);
    QCOMPARE(MessageAnswerFor(style, QMessageBox::StandardButton(clicked)), answer);
}

QTEST_GUILESS_MAIN(TestSchemaDlgHelpers)
#include "TestSchemaDlgHelpers.moc"
