#include "settings/Colour.h"
#include "settings/PasswordCodec.h"
#include "settings/SettingsFile.h"

#include "db/AnsiCodePage.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

static bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

static QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The private-profile rules on a bare name in a temporary working directory,
// the encodings a stored file may have, files that cannot be written, and the
// notations of passwords and colours in it.
class TestSettings : public QObject
{
    Q_OBJECT
private:
    CSettingsFile m_settings;
    CPasswordCodec m_codec;
    QTemporaryDir m_cwd;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_cwd.path()));
        std::signal(SIGXFSZ, SIG_IGN); // a write past the size limit fails instead of killing us
    }

    // A row with an expected value reads (section, key, default), otherwise it
    // writes (section, key, value).
    void readWrite_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QStringList>("call");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QByteArray>("after"); // null: unchanged
        const QString write; // null
        QTest::newRow("missing_file_created") << QByteArray() << QStringList{"Database", "Server1", ""} << ""
                                              << QByteArray("[Database]\nServer1=\n");
        QTest::newRow("case_insensitive") << QByteArray("[DataBase]\nSERVER1=host\n")
                                          << QStringList{"database", "server1", "x"} << "host" << QByteArray();
        QTest::newRow("quoted") << QByteArray("[h]\nPort=\"3306\"\n") << QStringList{"h", "Port", ""} << "3306"
                                << QByteArray();
        QTest::newRow("cut_to_259") << "[h]\nk=" + QByteArray(300, 'x') + "\n" << QStringList{"h", "k", ""}
                                    << QString(259, u'x') << QByteArray();
        QTest::newRow("marker_stored") << QByteArray("[h]\nk=_?_NULL_|_\nj=1\n") << QStringList{"h", "k", "dflt"}
                                       << "dflt" << QByteArray("[h]\nk=dflt\nj=1\n");
        QTest::newRow("replace_in_place")
            << QByteArray("; head\n[Database]\nServer1=old\n\n; note\nServer2=b\n[Config]\nx=1\n")
            << QStringList{"database", "SERVER1", "new"} << write
            << QByteArray("; head\n[Database]\nServer1=new\n\n; note\nServer2=b\n[Config]\nx=1\n");
        QTest::newRow("append_key_end_of_section")
            << QByteArray("[Database]\nServer1=a\n\n\n[Config]\nx=1\n") << QStringList{"Database", "Server2", "b"}
            << write << QByteArray("[Database]\nServer1=a\nServer2=b\n\n\n[Config]\nx=1\n");
        QTest::newRow("append_section_crlf") << QByteArray("[A]\r\nk=1\r\n") << QStringList{"B", "j", "v"} << write
                                             << QByteArray("[A]\r\nk=1\r\n[B]\r\nj=v\r\n");
        QTest::newRow("newline_in_value") << QByteArray("[A]\nk=1\n") << QStringList{"A", "k", "a\r\n[Database]\nx=1"}
                                          << write << QByteArray("[A]\nk=a  [Database] x=1\n");
    }
    void readWrite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, call);
        QFETCH(QString, expected);
        QFETCH(QByteArray, after);
        QVERIFY(before.isNull() ? (QFile::remove("Pell.ini") || !QFile::exists("Pell.ini"))
                                : WriteBytes("Pell.ini", before));
        if (expected.isNull())
            m_settings.Write("Pell.ini", call[0], call[1], call[2]);
        else
            QCOMPARE(m_settings.Read("Pell.ini", call[0], call[1], call[2]), expected);
        QCOMPARE(ReadBytes(m_cwd.filePath("Pell.ini")), after.isNull() ? before : after);
    }

    // Chinese names and values read, changed and added; the other lines,
    // including one not valid in the file's encoding, keep their bytes.
    void encodingKept_data()
    {
        QTest::addColumn<bool>("utf16");
        QTest::addColumn<QByteArray>("junk");
        QTest::newRow("gbk_crlf") << false << QByteArray("; \xFF\xFE junk\r\n");
        QTest::newRow("utf16le_bom_crlf") << true << QByteArray(";\0 \0\x00\xD8j\0\r\0\n\0", 12);
    }
    void encodingKept()
    {
        QFETCH(bool, utf16);
        QFETCH(QByteArray, junk);
        const auto lines = [&](const QStringList& texts) {
            QByteArray bytes = utf16 ? "\xFF\xFE" : "";
            for (const QString& text : texts) {
                const std::string gbk = AnsiCodePage::FromUnicode(text + "\r\n");
                bytes += text == "<junk>" ? junk
                    : utf16 ? QByteArray(QStringEncoder(QStringEncoder::Utf16LE).encode(text + "\r\n"))
                            : QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size()));
            }
            return bytes;
        };
        const QString path = m_cwd.filePath("Encoded.ini");
        QVERIFY(WriteBytes(path, lines({"[Database]", "Server1=数据库服务器", "<junk>", "", "[主机]", "User = 管理员",
                                        "Port=1433"})));
        QCOMPARE(m_settings.Read(path, "database", "Server1", ""), QString("数据库服务器"));
        m_settings.Write(path, "主机", "User", "用户");
        m_settings.Write(path, "Database", "Server2", "新服务器");
        m_settings.Write(path, "配置", "Type", "MySQL");
        QCOMPARE(ReadBytes(path), lines({"[Database]", "Server1=数据库服务器", "Server2=新服务器", "<junk>", "",
                                         "[主机]", "User = 用户", "Port=1433", "[配置]", "Type=MySQL"}));
    }

    // The read-only mark is honoured for root too; RLIMIT_FSIZE fails a write
    // with EFBIG as a full disk fails it with ENOSPC.
    void failedWriteLosesNothing_data()
    {
        QTest::addColumn<bool>("sizeLimit");
        QTest::newRow("read_only") << false;
        QTest::newRow("partial_write") << true;
    }
    void failedWriteLosesNothing()
    {
        QFETCH(bool, sizeLimit);
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        const QByteArray before = "; keep\r\n[host1]\r\nType=MySQL\r\n[pad]\r\n" + QByteArray(8192, ';') + "\r\n";
        QVERIFY(WriteBytes(path, before));
        rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit limit {sizeLimit ? rlim_t{4096} : old.rlim_cur, old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &old); });
        if (!sizeLimit)
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup
                                                    | QFileDevice::ReadOther));
        m_settings.Write(path, "host1", "Type", "SQLServer");
        QCOMPARE(m_settings.Read(path, "host1", "Port", "1433"), QString("1433"));
        QCOMPARE(m_settings.Read(path, "host1", "Type", ""), QString("MySQL"));
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Pell.ini"});
    }

    void hugeOrGarbage_data()
    {
        QTest::addColumn<QByteArray>("body");
        QByteArray garbage(256 * 1024, Qt::Uninitialized);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        // A lone CR first would make CR the line end of added lines.
        QTest::newRow("binary_garbage") << garbage.replace('\r', '\n');
        QByteArray lines;
        for (int i = 0; lines.size() < 10 * 1024 * 1024; ++i)
            lines += "[Sec" + QByteArray::number(i % 5000) + "]\nkey" + QByteArray::number(i) + "=value\n";
        QTest::newRow("ten_megabytes") << lines;
    }
    void hugeOrGarbage()
    {
        QFETCH(QByteArray, body);
        const QString path = m_cwd.filePath("Big.ini");
        const QByteArray before = body + "\n[Database]\nServer1=host1\n";
        QVERIFY(WriteBytes(path, before));
        QCOMPARE(m_settings.Read(path, "database", "server1", ""), QString("host1"));
        m_settings.Write(path, "Database", "Server2", "host2");
        QCOMPARE(ReadBytes(path), before + "Server2=host2\n");
    }

    void password_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QString latin1;
        for (char16_t c = 0; c <= 0xFF; ++c)
            latin1 += QChar{c};
        QTest::newRow("every_latin1") << latin1 << latin1;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("high_byte_lost") << QStringLiteral("\u4E2Da\u0141") << QStringLiteral("\u002Da\u0041");
    }
    void password()
    {
        QFETCH(QString, text);
        const QString letters = m_codec.Encode(text, CPasswordCodec::kSeed);
        QCOMPARE(letters.size(), text.size() * 2);
        QVERIFY2(QRegularExpression("^([A-J][A-Z])*$").match(letters).hasMatch(), qPrintable(letters));
        QTEST(m_codec.Decode(letters, CPasswordCodec::kSeed), "decoded");
    }

    // Stored passwords must keep decoding. Seed 0 leaves the first character; the second's key
    // is (65 * 0x3B27 + 0x5E91) mod 2^16 = 0x6378: 'A' ^ 0x63 = 0x22 = 1 * 26 + 8, "BI".
    void knownScrambling()
    {
        QCOMPARE(m_codec.Encode("AA", 0), QString("CNBI"));
        QCOMPARE(m_codec.Decode("CNBI", 0), QString("AA"));
    }

    void colour_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("colour");
        QTest::newRow("red") << "0xFF" << 0xFFu;
        QTest::newRow("word_is_black") << "red" << 0u;
        QTest::newRow("space_and_sign_skipped") << "  -0x1f" << 0x1Fu;
        QTest::newRow("capital_prefix_green") << "0X00ff00" << 0xFF00u;
    }
    void colour()
    {
        QFETCH(QString, text);
        QFETCH(quint32, colour);
        QCOMPARE(ParseColour(text), colour);
        QCOMPARE(ToQColor(colour), QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF)));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
