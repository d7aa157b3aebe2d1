#include "settings/PasswordCodec.h"

#include <QRandomGenerator>
#include <QTest>

class TestPasswordCodec : public QObject
{
    Q_OBJECT
private:
    CPasswordCodec m_codec;

    static bool IsLetterPairs(const QString& letters)
    {
        for (qsizetype i = 0; i + 1 < letters.size(); i += 2) {
            if (letters[i] < u'A' || letters[i] > u'J' || letters[i + 1] < u'A' || letters[i + 1] > u'Z')
                return false;
        }
        return letters.size() % 2 == 0;
    }

private slots:
    void everyLatin1CharacterRoundTrips()
    {
        for (char16_t c = 0; c <= 0xFF; ++c) {
            const QString text(QChar{c});
            const QString letters = m_codec.Encode(text, CPasswordCodec::kSeed);
            QVERIFY2(letters.size() == 2 && IsLetterPairs(letters), qPrintable(letters));
            QCOMPARE(m_codec.Decode(letters, CPasswordCodec::kSeed), text);
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QString all;
        for (char16_t c = 0; c <= 0xFF; ++c)
            all += QChar{c};
        QTest::newRow("all_latin1_in_a_row") << all;
        QString mixed;
        QRandomGenerator random(7);
        for (int i = 0; i < 5000; ++i)
            mixed += QChar{static_cast<char16_t>(random.bounded(256))};
        QTest::newRow("long_mixed") << mixed;
        QTest::newRow("repeated_character") << QString(300, u'a');
        QTest::newRow("password") << QStringLiteral("P@ss w0rd!\u00E9\u00FF");
        QTest::newRow("empty") << QString();
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        const QString letters = m_codec.Encode(text, CPasswordCodec::kSeed);
        QCOMPARE(letters.size(), text.size() * 2);
        QVERIFY(IsLetterPairs(letters));
        QCOMPARE(m_codec.Decode(letters, CPasswordCodec::kSeed), text);
    }

    // The same text scrambles differently at each position and per seed.
    void scramblingDependsOnPositionAndSeed()
    {
        const QString letters = m_codec.Encode(QString(64, u'x'), CPasswordCodec::kSeed);
        QSet<QString> pairs;
        for (qsizetype i = 0; i < letters.size(); i += 2)
            pairs.insert(letters.mid(i, 2));
        QVERIFY2(pairs.size() > 16, qPrintable(letters));
        QVERIFY(m_codec.Encode("secret", 1) != m_codec.Encode("secret", CPasswordCodec::kSeed));
    }

    // With seed 0 the first character is not changed; the second depends on
    // the multiplier and addend: k = (65 * 0x3B27 + 0x5E91) mod 2^16 = 0x6378,
    // so 'A' (0x41) becomes 0x41 ^ 0x63 = 0x22 = 1 * 26 + 8, "BI".
    void knownScrambling()
    {
        QCOMPARE(m_codec.Encode("AA", 0), QString("CNBI"));
        QCOMPARE(m_codec.Decode("CNBI", 0), QString("AA"));
    }

    void highByteIsLost()
    {
        const QString letters = m_codec.Encode(QStringLiteral("\u4E2Da\u0141"), CPasswordCodec::kSeed);
        QCOMPARE(letters.size(), 6);
        QVERIFY(IsLetterPairs(letters));
        QCOMPARE(m_codec.Decode(letters, CPasswordCodec::kSeed), QStringLiteral("\u002Da\u0041"));
    }

    void oddLetterIgnored()
    {
        const QString letters = m_codec.Encode("abc", CPasswordCodec::kSeed);
        QCOMPARE(m_codec.Decode(letters + u'Q', CPasswordCodec::kSeed), QString("abc"));
        QCOMPARE(m_codec.Decode("Q", CPasswordCodec::kSeed), QString());
    }

    // Letters outside A..Z follow the same arithmetic, wrapped to 16 bits:
    // ('a' - 65) * 26 + ('a' - 65) = 864 = 0x360, low byte 0x60.
    void otherLettersDecodeByFormula()
    {
        QCOMPARE(m_codec.Decode("aa", 0), QString(u'\x60'));
        // (0 - 65) * 26 + (0 - 65) = -1755 = 0xF925 as 16 bits, low byte 0x25.
        QCOMPARE(m_codec.Decode(QString(2, QChar(0)), 0), QString(u'\x25'));
    }
};

QTEST_GUILESS_MAIN(TestPasswordCodec)
#include "TestPasswordCodec.moc"
