#include "settings/Colour.h"

#include <QTest>

class TestColour : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("colour");
        QTest::newRow("pure_red") << "0xFF" << 0xFFu;
        QTest::newRow("word_red_is_black") << "red" << 0u;
        QTest::newRow("sign_skipped") << "  -0x1f" << 0x1Fu;
        QTest::newRow("plus_sign") << "+0x10" << 0x10u;
        QTest::newRow("capital_prefix") << "0X00ff00" << 0xFF00u;
        QTest::newRow("empty") << "" << 0u;
        QTest::newRow("default_light_grey") << "0xE4E4E4" << 0xE4E4E4u;
        QTest::newRow("no_prefix") << "ff" << 0xFFu;
        QTest::newRow("prefix_only") << "0x" << 0u;
        QTest::newRow("stops_at_non_digit") << "0x12g4" << 0x12u;
        QTest::newRow("tab_before") << "\t0xC0C0C0" << 0xC0C0C0u;
        QTest::newRow("overflow_saturates") << "0x123456789ABCDEF012" << 0xFFFFFFFFu;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(quint32, colour);
        QCOMPARE(ParseColour(text), colour);
    }

    void lowestByteIsRed()
    {
        QCOMPARE(ToQColor(0xFF), QColor(255, 0, 0));
        QCOMPARE(ToQColor(0xFF00), QColor(0, 255, 0));
        QCOMPARE(ToQColor(0xFF0000), QColor(0, 0, 255));
        QCOMPARE(ToQColor(0xE4E4E4), QColor(0xE4, 0xE4, 0xE4));
        QCOMPARE(MakeColorRef(0x12, 0x34, 0x56), ColorRef(0x563412));
    }
};

QTEST_GUILESS_MAIN(TestColour)
#include "TestColour.moc"
