#include "db/AnsiCodePage.h"

#include <QTest>

class TestAnsiCodePage : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("gbk");
        QTest::addColumn<QString>("back");
        QTest::newRow("ascii") << QStringLiteral("abc 123") << QByteArray("abc 123") << QStringLiteral("abc 123");
        QTest::newRow("chinese") << QStringLiteral("数据库") << QByteArray("\xca\xfd\xbe\xdd\xbf\xe2")
                                 << QStringLiteral("数据库");
        QTest::newRow("check_mark") << QStringLiteral("√") << QByteArray("\xa1\xcc") << QStringLiteral("√");
        QTest::newRow("outside_gbk") << QStringLiteral("a\uD55Cb") << QByteArray("a?b") << QStringLiteral("a?b");
        QTest::newRow("surrogate_pair") << QStringLiteral("x\U0001F600y") << QByteArray("x?y") << QStringLiteral("x?y");
        QTest::newRow("empty") << QString() << QByteArray() << QString();
        QTest::newRow("embedded_nul") << QString(QChar(0)) + u'z' << QByteArray("\0z", 2) << QString(QChar(0)) + u'z';
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, gbk);
        QFETCH(QString, back);
        const std::string bytes = AnsiCodePage::FromUnicode(text);
        QCOMPARE(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), gbk);
        QCOMPARE(AnsiCodePage::ToUnicode(bytes), back);
        QCOMPARE(AnsiCodePage::RoundTrip(text), back);
    }

    void invalidBytesBecomeQuestionMarks()
    {
        // A lone lead byte at the end and a byte GBK never uses.
        QCOMPARE(AnsiCodePage::ToUnicode(std::string_view("ab\xca", 3)), QStringLiteral("ab?"));
        QCOMPARE(AnsiCodePage::ToUnicode(std::string_view("\xff" "c", 2)), QStringLiteral("?c"));
    }

    void longTextIsConvertedWhole()
    {
        const QString text = QString(QStringLiteral("描述")).repeated(50000);
        QCOMPARE(AnsiCodePage::RoundTrip(text), text);
    }
};

QTEST_GUILESS_MAIN(TestAnsiCodePage)
#include "TestAnsiCodePage.moc"
