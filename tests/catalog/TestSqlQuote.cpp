#include "catalog/SqlQuote.h"
#include "db/AnsiCodePage.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSqlQuote : public QObject
{
    Q_OBJECT
private slots:
    void escape_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sqlServer");
        QTest::addColumn<QString>("mySql");
        QTest::addColumn<QString>("mySqlNoBackslashEscapes");

        QTest::newRow("plain") << u"orders"_s << u"orders"_s << u"orders"_s << u"orders"_s;
        QTest::newRow("empty") << QString() << QString() << QString() << QString();
        QTest::newRow("one_quote") << u"o'brien"_s << u"o''brien"_s << u"o''brien"_s << u"o''brien"_s;
        QTest::newRow("only_quotes") << u"''"_s << u"''''"_s << u"''''"_s << u"''''"_s;
        QTest::newRow("backslash") << u"a\\b"_s << u"a\\b"_s << u"a\\\\b"_s << u"a\\b"_s;
        QTest::newRow("trailing_backslash") << u"a\\"_s << u"a\\"_s << u"a\\\\"_s << u"a\\"_s;
        QTest::newRow("backslash_quote") << u"\\'"_s << u"\\''"_s << u"\\\\''"_s << u"\\''"_s;
        QTest::newRow("injection") << u"x' or '1'='1"_s << u"x'' or ''1''=''1"_s << u"x'' or ''1''=''1"_s
                                   << u"x'' or ''1''=''1"_s;
        QTest::newRow("double_quote") << u"a\"b"_s << u"a\"b"_s << u"a\"b"_s << u"a\"b"_s;
        QTest::newRow("chinese") << u"用户'表"_s << u"用户''表"_s << u"用户''表"_s << u"用户''表"_s;
        // GBK encodes 乗 as 0x81 0x5C: there is no backslash in the text.
        QTest::newRow("gbk_trail_5c") << u"乗"_s << u"乗"_s << u"乗"_s << u"乗"_s;
    }
    void escape()
    {
        QFETCH(QString, text);
        QFETCH(QString, sqlServer);
        QFETCH(QString, mySql);
        QFETCH(QString, mySqlNoBackslashEscapes);
        QCOMPARE(EscapeSqlServerLiteral(text), sqlServer);
        QCOMPARE(EscapeMySqlLiteral(text), mySql);
        QCOMPARE(EscapeMySqlLiteral(text, false), mySql);
        QCOMPARE(EscapeMySqlLiteral(text, true), mySqlNoBackslashEscapes);
    }

    // What reaches a GBK server: the 0x5C inside a two-byte character stays
    // single, while a real backslash is doubled.
    void gbkBytesAfterEscaping()
    {
        const std::string bytes = AnsiCodePage::FromUnicode(EscapeMySqlLiteral(u"乗\\'"_s));
        QCOMPARE(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), QByteArray("\x81\x5c\\\\''"));
    }
};

QTEST_GUILESS_MAIN(TestSqlQuote)
#include "TestSqlQuote.moc"
