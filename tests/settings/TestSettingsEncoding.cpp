#include "settings/IniDocument.h"
#include "settings/SettingsFile.h"

#include "db/AnsiCodePage.h"

#include "SettingsTestFiles.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray InEncoding(const QString& text, IniText::Encoding encoding)
{
    switch (encoding) {
    case IniText::Encoding::Utf16Le:
        return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case IniText::Encoding::Gbk: {
        const std::string bytes = AnsiCodePage::FromUnicode(text);
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    case IniText::Encoding::Utf8:
    case IniText::Encoding::Utf8Bom:
        break;
    }
    return text.toUtf8();
}

} // namespace

// Files in the encodings a settings file may have, read and written back.
class TestSettingsEncoding : public QObject
{
    Q_OBJECT
private:
    CSettingsFile m_settings;

private slots:
    void roundTripIsExact_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("lf") << QByteArray("[a]\nk=v\n");
        QTest::newRow("crlf") << QByteArray("[a]\r\nk=v\r\n");
        QTest::newRow("lone_cr") << QByteArray("[a]\rk=v\r\r\n\n");
        QTest::newRow("unterminated") << QByteArray("[a]\nk=v");
        QTest::newRow("utf8_bom_only") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("utf8_bom_invalid") << QByteArray("\xEF\xBB\xBF[a]\nk=\xFF\xC3\n");
        QTest::newRow("utf16_bom_only") << QByteArray("\xFF\xFE");
        QTest::newRow("utf16_odd_byte") << QByteArray("\xFF\xFE[\0a\0]\0\n\0k\0=\0\x00\xD8x", 17);
        QTest::newRow("gbk_invalid") << QByteArray("[\xCA\xFD]\n\x81\nk=\xFF\xCA");
        QTest::newRow("nul_bytes") << QByteArray("[a]\0\n\0k=\0v\0", 12);
    }
    void roundTripIsExact()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(CIniDocument::FromBytes(bytes).ToBytes(), bytes);
    }

    void detect_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::newRow("ascii") << QByteArray("[a]\nk=v\n") << int(IniText::Encoding::Utf8);
        QTest::newRow("utf8") << QString("[数据库]").toUtf8() << int(IniText::Encoding::Utf8);
        QTest::newRow("utf8_bom") << QByteArray("\xEF\xBB\xBF[a]") << int(IniText::Encoding::Utf8Bom);
        QTest::newRow("utf16le_bom") << QByteArray("\xFF\xFE[\0") << int(IniText::Encoding::Utf16Le);
        QTest::newRow("gbk") << InEncoding("[数据库]", IniText::Encoding::Gbk) << int(IniText::Encoding::Gbk);
        QTest::newRow("cut_utf8_sequence") << QByteArray("k=\xE6\x95") << int(IniText::Encoding::Gbk);
    }
    void detect()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QCOMPARE(int(IniText::Detect(bytes)), encoding);
    }

    // Reads Chinese names and values and writes a changed value, an added key
    // and an added section; the untouched lines, including one that is not
    // valid in the file's encoding, keep their bytes.
    void readAndWriteBack_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addColumn<QByteArray>("junk");
        QTest::newRow("gbk_crlf") << int(IniText::Encoding::Gbk) << QByteArray("\r\n") << QByteArray("; \xFF\xFE junk");
        QTest::newRow("gbk_lf") << int(IniText::Encoding::Gbk) << QByteArray("\n") << QByteArray("; \x81 junk");
        QTest::newRow("utf16le_crlf") << int(IniText::Encoding::Utf16Le) << QByteArray("\r\0\n\0", 4)
                                      << QByteArray(";\0 \0\x00\xD8j\0", 8);
        QTest::newRow("utf8_bom_crlf") << int(IniText::Encoding::Utf8Bom) << QByteArray("\r\n")
                                       << QByteArray("; \xFF junk");
        QTest::newRow("utf8_lf") << int(IniText::Encoding::Utf8) << QByteArray("\n") << QByteArray("; junk");
    }
    void readAndWriteBack()
    {
        QFETCH(int, encoding);
        QFETCH(QByteArray, lineEnd);
        QFETCH(QByteArray, junk);
        const auto enc = static_cast<IniText::Encoding>(encoding);
        const auto lines = [&](const QStringList& texts) {
            QByteArray bytes = IniText::Bom(enc);
            for (const QString& text : texts)
                bytes += (text == "<junk>" ? junk : InEncoding(text, enc)) + lineEnd;
            return bytes;
        };
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        QVERIFY(WriteBytes(path, lines({"[Database]", "Server1=数据库服务器", "<junk>", "", "[主机]",
                                        "User = 管理员", "Port=1433"})));

        QCOMPARE(m_settings.Read(path, "database", "Server1", ""), QString("数据库服务器"));
        QCOMPARE(m_settings.Read(path, "主机", "user", ""), QString("管理员"));
        m_settings.Write(path, "主机", "User", "用户");
        m_settings.Write(path, "Database", "Server2", "新服务器");
        m_settings.Write(path, "配置", "Type", "MySQL");

        QCOMPARE(ReadBytes(path), lines({"[Database]", "Server1=数据库服务器", "Server2=新服务器", "<junk>", "",
                                         "[主机]", "User = 用户", "Port=1433", "[配置]", "Type=MySQL"}));
        QCOMPARE(m_settings.Read(path, "主机", "User", ""), QString("用户"));
    }

    void newFileIsUtf8WithLf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        m_settings.Write(path, "服务器", "User", "用户");
        QCOMPARE(ReadBytes(path), QString("[服务器]\nUser=用户\n").toUtf8());
    }

    void gbkKeepsGbkForNewText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        const QByteArray before = InEncoding("[数据库]\n", IniText::Encoding::Gbk);
        QVERIFY(WriteBytes(path, before));
        // A character GBK cannot hold becomes '?', as the code page does it.
        m_settings.Write(path, "数据库", "k", "值\uD55C\U0001F600");
        QCOMPARE(ReadBytes(path), before + InEncoding("k=值", IniText::Encoding::Gbk) + "??\n");
    }
};

QTEST_GUILESS_MAIN(TestSettingsEncoding)
#include "TestSettingsEncoding.moc"
