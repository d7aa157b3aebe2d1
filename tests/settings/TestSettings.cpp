#include "settings/Colour.h"
#include "settings/PasswordCodec.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// A path converts to the QFile, closed again on return.
static bool WriteBytes(QFile&& file, const QByteArray& bytes)
{
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
static QByteArray ReadBytes(QFile&& file) { return file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>"; }

// The private-profile rules on a bare name in a temporary working directory,
// the encodings a stored file may have, files that cannot be written, and the
// notations of passwords and colours in it.
class TestSettings : public QObject
{
    Q_OBJECT
    CSettingsFile m_settings;
    CPasswordCodec m_codec;
    QTemporaryDir m_cwd;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_cwd.path()));
        std::signal(SIGXFSZ, SIG_IGN); // a write past the size limit fails instead of killing us
    }

    // Rows with an expected value read (section, key, default); the others write (section, key, value).
    void readWrite_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QStringList>("call");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QByteArray>("after"); // null: unchanged
        const auto row = [](const char* name, const QByteArray& before, const QStringList& call,
                            const QString& expected, const QByteArray& after) {
            QTest::newRow(name) << before << call << expected << after;
        };
        row("missing_file_created", {}, {"Database", "Server1", ""}, "", "[Database]\nServer1=\n");
        row("case_insensitive", "[DataBase]\nSERVER1=host\n", {"database", "server1", "x"}, "host", {});
        row("quoted", "[h]\nPort=\"3306\"\n", {"h", "Port", ""}, "3306", {});
        row("cut_to_259", "[h]\nk=" + QByteArray(300, 'x') + "\n", {"h", "k", ""}, QString(259, u'x'), {});
        row("marker_stored", "[h]\nk=_?_NULL_|_\nj=1\n", {"h", "k", "dflt"}, "dflt", "[h]\nk=dflt\nj=1\n");
        row("replace_in_place", "; head\n[Database]\nServer1=old\n\n;note\nServer2=b\n[Config]\nx=1\n",
            {"database", "SERVER1", "new"}, {}, "; head\n[Database]\nServer1=new\n\n;note\nServer2=b\n[Config]\nx=1\n");
        row("append_key_end_of_section", "[Database]\nServer1=a\n\n\n[Config]\nx=1\n", {"Database", "Server2", "b"},
            {}, "[Database]\nServer1=a\nServer2=b\n\n\n[Config]\nx=1\n");
        row("append_section_crlf", "[A]\r\nk=1\r\n", {"B", "j", "v"}, {}, "[A]\r\nk=1\r\n[B]\r\nj=v\r\n");
        row("newline_in_value", "[A]\nk=1\n", {"A", "k", "a\r\n[Database]\nx=1"}, {}, "[A]\nk=a  [Database] x=1\n");

        QByteArray garbage(256 * 1024, Qt::Uninitialized);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        garbage.replace('\r', '\n'); // a lone CR first would make CR the line end of added lines
        QByteArray huge;
        for (int i = 0; huge.size() < 10 * 1024 * 1024; ++i)
            huge += "[Sec" + QByteArray::number(i % 5000) + "]\nkey" + QByteArray::number(i) + "=value\n";
        const QByteArray tail = "\n[Database]\nServer1=host1\n";
        row("garbage_read", garbage + tail, {"database", "server1", ""}, "host1", {});
        row("garbage_write", garbage + tail, {"Database", "Server2", "host2"}, {}, garbage + tail + "Server2=host2\n");
        row("ten_megabytes_read", huge + tail, {"database", "server1", ""}, "host1", {});
        row("ten_megabytes_write", huge + tail, {"Database", "Server2", "host2"}, {}, huge + tail + "Server2=host2\n");
    }
    void readWrite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, call);
        QFETCH(QString, expected);
        QFETCH(QByteArray, after);
        QVERIFY(before.isNull() ? (QFile::remove("Pell.ini") || !QFile::exists("Pell.ini"))
                                : WriteBytes(QFile("Pell.ini"), before));
        if (expected.isNull())
            m_settings.Write("Pell.ini", call[0], call[1], call[2]);
        else
            QCOMPARE(m_settings.Read("Pell.ini", call[0], call[1], call[2]), expected);
        QCOMPARE(ReadBytes(m_cwd.filePath("Pell.ini")), after.isNull() ? before : after);
    }

    // A name is found again as written, whatever it holds: three writes make
    // one section, and a read returns the last value.
    void namesFoundAgain_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("header");
        QTest::newRow("edge_blanks") << " db1 " << " Port " << "[db1]";
        QTest::newRow("ipv6_brackets") << "[::1]" << "Port" << "[[::1]]";
        QTest::newRow("closing_bracket") << "a]b" << "Port" << "[a]b]";
        QTest::newRow("opening_bracket") << "[x" << "Port" << "[[x]";
        QTest::newRow("equals") << "h=1" << "Port" << "[h=1]";
        QTest::newRow("line_breaks") << "one\r\ntwo\n" << "Po\nrt" << "[one  two]";
    }
    void namesFoundAgain()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, header);
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        for (const char* value : {"1", "2", "3"})
            m_settings.Write(path, section, key, value);
        QCOMPARE(m_settings.Read(path, section, key, "none"), QString("3"));
        const QByteArray bytes = ReadBytes(path);
        QCOMPARE(bytes.count(header.toUtf8() + "\n"), 1);
        QCOMPARE(bytes.count('['), header.count(u'[')); // one header, nothing else
    }
    // A key no line can hold is neither written nor found.
    void unstorableKeyWritesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        m_settings.Write(path, "h", "a=b", "1");
        m_settings.Write(path, "h", ";c", "1");
        QCOMPARE(m_settings.Read(path, "h", "a=b", "dflt"), QString("dflt"));
        QCOMPARE(ReadBytes(path), QByteArray("<unreadable>"));
    }

    // Chinese names and values read, changed and added; the other lines,
    // including one not valid in the file's encoding, keep their bytes.
    void encodingKept_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("junk");
        QTest::newRow("gbk_crlf") << QByteArray("GBK") << QByteArray("; \xFF\xFE junk\r\n");
        QTest::newRow("utf16le_bom_crlf") << QByteArray("UTF-16LE") << QByteArray(";\0 \0\x00\xD8j\0\r\0\n\0", 12);
    }
    void encodingKept()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, junk);
        // The junk line sits between head and tail; a BOM leads where the encoding has one.
        const auto file = [&](const QString& head, const QString& tail) {
            QStringEncoder encode(encoding.constData(), QStringEncoder::Flag::WriteBom);
            const QByteArray bytes = encode(head);
            return bytes + junk + QByteArray(encode(tail));
        };
        const QString path = m_cwd.filePath("Encoded.ini");
        QVERIFY(WriteBytes(path, file("[Database]\r\nServer1=数据库服务器\r\n", "\r\n[主机]\r\nUser = 管理员\r\nPort=1433\r\n")));
        QCOMPARE(m_settings.Read(path, "database", "Server1", ""), QString("数据库服务器"));
        m_settings.Write(path, "主机", "User", "用户");
        m_settings.Write(path, "Database", "Server2", "新服务器");
        m_settings.Write(path, "配置", "Type", "MySQL");
        QCOMPARE(ReadBytes(path), file("[Database]\r\nServer1=数据库服务器\r\nServer2=新服务器\r\n",
                                       "\r\n[主机]\r\nUser = 用户\r\nPort=1433\r\n[配置]\r\nType=MySQL\r\n"));
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
        QVERIFY(sizeLimit || QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        m_settings.Write(path, "host1", "Type", "SQLServer");
        QCOMPARE(m_settings.Read(path, "host1", "Port", "1433"), QString("1433"));
        QCOMPARE(m_settings.Read(path, "host1", "Type", ""), QString("MySQL"));
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Pell.ini"});
    }

    // A folder or a FIFO in the file's place is neither read (a FIFO would
    // block) nor replaced: reads give defaults, writes fail.
    void unreadableFileLeftAlone_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("folder") << false;
        QTest::newRow("fifo") << true;
    }
    void unreadableFileLeftAlone()
    {
        QFETCH(bool, fifo);
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        QVERIFY(fifo ? mkfifo(QFile::encodeName(path), 0600) == 0 : QDir(dir.path()).mkpath("Pell.ini/keep"));
        alarm(10); // a blocked open kills the test rather than hang it
        QCOMPARE(m_settings.Read(path, "Database", "Server1", "dflt"), QString("dflt"));
        m_settings.Write(path, "Database", "Server1", "host");
        alarm(0);
        const QFileInfo info(path);
        QCOMPARE(info.isDir() ? "folder" : info.isFile() ? "file" : "other", fifo ? "other" : "folder");
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"Pell.ini"});
        QVERIFY(fifo || QDir(path).exists("keep"));
    }

    // A bare name is found in the working folder of each call.
    void bareNameFollowsWorkingFolder()
    {
        QTemporaryDir other;
        m_settings.Write("Pell.ini", "A", "k", "first folder");
        QVERIFY(QDir::setCurrent(other.path()));
        const auto back = qScopeGuard([this] { QDir::setCurrent(m_cwd.path()); });
        QCOMPARE(m_settings.Read("Pell.ini", "A", "k", "dflt"), QString("dflt"));
        QCOMPARE(ReadBytes(other.filePath("Pell.ini")), QByteArray("[A]\nk=dflt\n"));
    }

    // Stored passwords must keep decoding. Seed 0 leaves the first character; the second's key
    // is (65 * 0x3B27 + 0x5E91) mod 2^16 = 0x6378: 'A' ^ 0x63 = 0x22 = 1 * 26 + 8, "BI".
    void password_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint16>("seed");
        QTest::addColumn<QString>("letters"); // null: any of the right shape
        QTest::addColumn<QString>("decoded");
        QString latin1;
        for (char16_t c = 0; c <= 0xFF; ++c)
            latin1 += QChar{c};
        QTest::newRow("every_latin1") << latin1 << CPasswordCodec::kSeed << QString() << latin1;
        QTest::newRow("high_byte_lost") << "\u4E2Da\u0141" << CPasswordCodec::kSeed << QString() << "\u002Da\u0041";
        QTest::newRow("known_scrambling") << "AA" << quint16(0) << "CNBI" << "AA";
        // Worked out by hand with the program's seed: a changed constant
        // would make every stored "Pass" unreadable.
        QTest::newRow("real_seed_s3cret") << "s3cret" << CPasswordCodec::kSeed << "IEIZCQERGUDC" << "s3cret";
        QTest::newRow("real_seed_braces") << "Vel;mora{pw" << CPasswordCodec::kSeed << "JHIYFEJJJUEVAVFOBCAJCM"
                                          << "Vel;mora{pw";
    }
    void password()
    {
        QFETCH(QString, text);
        QFETCH(quint16, seed);
        QFETCH(QString, letters);
        const QString encoded = m_codec.Encode(text, seed);
        QCOMPARE(encoded.size(), text.size() * 2);
        QVERIFY2(QRegularExpression("^([A-J][A-Z])*$").match(encoded).hasMatch(), qPrintable(encoded));
        QVERIFY2(letters.isNull() || encoded == letters, qPrintable(encoded));
        QTEST(m_codec.Decode(encoded, seed), "decoded");
    }

    void colour_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<QColor>("shown"); // the file keeps blue, green, red from the high byte down
        QTest::newRow("word_is_black") << "red" << 0u << QColor(0, 0, 0);
        QTest::newRow("space_and_sign_skipped_red") << "  -0x1f" << 0x1Fu << QColor(0x1F, 0, 0);
        QTest::newRow("capital_prefix_green") << "0X00ff00" << 0xFF00u << QColor(0, 255, 0);
        QTest::newRow("high_byte_blue") << "0xC00000" << 0xC00000u << QColor(0, 0, 0xC0);
    }
    void colour()
    {
        QFETCH(QString, text);
        QFETCH(quint32, colour);
        QCOMPARE(ParseColour(text), colour);
        QTEST(ToQColor(colour), "shown");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
