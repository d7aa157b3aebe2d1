#include "common/AnsiCodePage.h"
#include "settings/Colour.h"
#include "settings/PasswordCodec.h"
#include "settings/SettingsFile.h"

#include <QDir>
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

// A read (section, key, default) when `expected` is not null, else a write
// (section, key, value); `before` null: no file; `after` null: unchanged.
struct Access { QByteArray before; QStringList call; QString expected; QByteArray after; };

class TestSettings : public QObject
{
    Q_OBJECT
    CSettingsFile m_settings;
    QTemporaryDir m_cwd;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_cwd.path()));
        std::signal(SIGXFSZ, SIG_IGN); // a write past the size limit fails instead of killing us
    }

    void readWrite_data()
    {
        QTest::addColumn<Access>("access");
        const auto row = [](const char* name, const QByteArray& before, const QStringList& call,
                            const QString& expected, const QByteArray& after) {
            QTest::newRow(name) << Access{before, call, expected, after};
        };
        row("missing_file_created", {}, {"Database", "Server1", ""}, "", "[Database]\nServer1=\n");
        row("missing_key_after_unterminated_last", "[Database]\nServer2=b", {"Database", "Server1", "d"}, "d",
            "[Database]\nServer2=b\nServer1=d\n");
        row("case_insensitive", "[DataBase]\nSERVER1=host\n", {"database", "server1", "x"}, "host", {});
        row("quoted", "[h]\nPort=\"3306\"\n", {"h", "Port", ""}, "3306", {});
        // A cut value would name another server or decode to another password.
        row("long_value_whole", "[h]\nk=" + QByteArray(300, 'x') + "\n", {"h", "k", ""}, QString(300, u'x'), {});
        row("marker_stored", "[h]\nk=_?_NULL_|_\nj=1\n", {"h", "k", "dflt"}, "dflt", "[h]\nk=dflt\nj=1\n");
        row("unstorable_key_written", "[h]\n", {"h", "a=b", "1"}, {}, {});
        row("comment_key_written", "[h]\n", {"h", ";c", "1"}, {}, {});
        // Names are looked up, and headers written, with line breaks as spaces and edge blanks gone.
        row("names_normalised", "[db1]\nPort=1\n", {" db1 ", " Port ", "2"}, {}, "[db1]\nPort=2\n");
        row("header_normalised", {}, {"one\r\ntwo\n", "Po\nrt", "3"}, {}, "[one  two]\nPo rt=3\n");
        row("brackets_in_name", "[[::1]]\nPort=1\n", {"[::1]", "Port", "x"}, "1", {});
        row("replace_in_place", "; head\n[Database]\nServer1=old\n\n;note\nServer2=b\n[Config]\nx=1\n",
            {"database", "SERVER1", "new"}, {}, "; head\n[Database]\nServer1=new\n\n;note\nServer2=b\n[Config]\nx=1\n");
        row("append_key_end_of_section", "[Database]\nServer1=a\n\n\n[Config]\nx=1\n", {"Database", "Server2", "b"},
            {}, "[Database]\nServer1=a\nServer2=b\n\n\n[Config]\nx=1\n");
        row("append_section_crlf", "[A]\r\nk=1\r\n", {"B", "j", "v"}, {}, "[A]\r\nk=1\r\n[B]\r\nj=v\r\n");
        // A repeated section is one section: its keys are found and none is added blank.
        row("repeated_section_read", "[Database]\nServer1=a\n[h]\n[DATABASE]\nServer2=b\n", {"Database", "Server2", ""},
            "b", {});
        row("repeated_section_write", "[Database]\nServer1=a\n[h]\n[Database]\nServer2=b\n", {"Database", "Server2", "c"},
            {}, "[Database]\nServer1=a\n[h]\n[Database]\nServer2=c\n");
        row("newline_in_value", "[A]\nk=1\n", {"A", "k", "a\r\n[Database]\nx=1"}, {}, "[A]\nk=a  [Database] x=1\n");

        // Arbitrary bytes are the settings fuzzer's.
        QByteArray huge;
        for (int i = 0; huge.size() < 10 * 1024 * 1024; ++i)
            huge += "[Sec" + QByteArray::number(i % 5000) + "]\nkey" + QByteArray::number(i) + "=value\n";
        const QByteArray tail = "\n[Database]\nServer1=host1\n";
        row("ten_megabytes_write", huge + tail, {"Database", "Server2", "host2"}, {}, huge + tail + "Server2=host2\n");
    }
    void readWrite()
    {
        QFETCH(Access, access);
        const auto& [before, call, expected, after] = access;
        QVERIFY(before.isNull() ? (QFile::remove("Pell.ini") || !QFile::exists("Pell.ini"))
                                : WriteBytes(QFile("Pell.ini"), before));
        if (expected.isNull())
            m_settings.Write("Pell.ini", call[0], call[1], call[2]);
        else
            QCOMPARE(m_settings.Read("Pell.ini", call[0], call[1], call[2]), expected);
        QCOMPARE(ReadBytes(m_cwd.filePath("Pell.ini")), after.isNull() ? before : after);
    }

    // Chinese read, changed and added in the file's own encoding; other lines,
    // even invalid ones, keep their bytes. UTF-8 lines in a mixed file read as
    // UTF-8, the others as GBK; a value GBK lacks makes the file UTF-8, never '?'.
    void encodingKept_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("writes"); // section, key, value; the first read back after
        QTest::addColumn<QByteArray>("after");
        const auto encoded = [](const char* encoding, const QString& head, const QByteArray& junk, const QString& tail) {
            QStringEncoder encode(encoding, QStringEncoder::Flag::WriteBom);
            const QByteArray bytes = encode(head);
            return bytes + junk + QByteArray(encode(tail));
        };
        const QStringList three{"主机", "User", "用户", "Database", "Server2", "新服务器", "配置", "Type", "MySQL"};
        for (const auto& [encoding, junk] : {std::pair("GBK", QByteArray("; \xFF\xFE junk\r\n")),
                                             std::pair("UTF-16LE", QByteArray(";\0 \0\x00\xD8j\0\r\0\n\0", 12))})
            QTest::newRow(encoding) << encoded(encoding, "[Database]\r\nServer1=数据库\r\n", junk, "\r\n[主机]\r\nUser = 管理员\r\nPort=1433\r\n")
                                    << three << encoded(encoding, "[Database]\r\nServer1=数据库\r\nServer2=新服务器\r\n", junk,
                                                        "\r\n[主机]\r\nUser = 用户\r\nPort=1433\r\n[配置]\r\nType=MySQL\r\n");
        const QStringList password{"主机", "Pass", "Łódź😀"};
        const QByteArray utf8 = "[Database]\nServer1=数据库\n;caf" "\xE9" "\n[主机]\nUser=管理员\n";
        QTest::newRow("utf8_with_stray_byte") << utf8 << password << utf8 + "Pass=Łódź😀\n";
        const QString text = "[Database]\nServer1=数据库\n;正式\n[主机]\nUser=管理员\n";
        QTest::newRow("gbk_becomes_utf8") << QByteArray(QStringEncoder("GBK")(text)) << password << (text + "Pass=Łódź😀\n").toUtf8();
        // Thai leads with 0xE0, the lowest lead of three-byte UTF-8.
        const QByteArray gbk = QStringEncoder("GBK")(QString("[Database]\nServer1=数据库\n"));
        QTest::newRow("thai_among_gbk") << gbk + "[h]\nName=ไทย\n" << password << gbk + "[h]\nName=ไทย\n[主机]\nPass=Łódź😀\n";
    }
    void encodingKept()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, writes);
        const QString path = m_cwd.filePath("Encoded.ini");
        QVERIFY(WriteBytes(path, before));
        QCOMPARE(m_settings.Read(path, "database", "Server1", ""), QString("数据库"));
        for (qsizetype i = 0; i < writes.size(); i += 3)
            m_settings.Write(path, writes[i], writes[i + 1], writes[i + 2]);
        QTEST(ReadBytes(path), "after");
        QCOMPARE(m_settings.Read(path, writes[0], writes[1], ""), writes[2]);
    }

    // A write that cannot finish (read-only, also for root; a size limit, as a
    // full disk), a folder or FIFO in the file's place (a FIFO would block a
    // read) and a file too large to be one leave all as it was; reads give defaults.
    void failuresLoseNothing_data()
    {
        QTest::addColumn<QByteArray>("kind");
        for (const char* kind : {"read_only", "size_limit", "folder", "fifo", "too_large"})
            QTest::newRow(kind) << QByteArray(kind);
    }
    void failuresLoseNothing()
    {
        QFETCH(QByteArray, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        QByteArray before = "[host1]\r\nType=MySQL\r\n" + QByteArray(8192, ';') + "\r\n";
        if (kind == "too_large")
            before.resize((qsizetype{64} << 20) + 1, ';'); // past 64 MiB it is no settings file
        QVERIFY(kind == "folder" ? QDir(dir.path()).mkpath("Pell.ini/keep")
                : kind == "fifo" ? mkfifo(QFile::encodeName(path), 0600) == 0
                                 : WriteBytes(path, before) && (kind != "read_only" || QFile::setPermissions(path, QFile::ReadOwner)));
        rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit limit {kind == "size_limit" ? rlim_t{4096} : old.rlim_cur, old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &old); });
        alarm(10); // a blocked open kills the test rather than hang it
        m_settings.Write(path, "host1", "Type", "SQLServer");
        QCOMPARE(m_settings.Read(path, "host1", "Port", "1433"), QString("1433"));
        alarm(0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"Pell.ini"});
        const QFileInfo info(path);
        QCOMPARE(info.isFile() ? ReadBytes(path) : QByteArray(info.isDir() ? "folder" : "fifo"), kind.startsWith('f') ? kind : before);
    }

    // Letters worked out by hand with the program's seed: a changed constant
    // makes every stored "Pass" unreadable. Null letters: a round trip.
    void password_data()
    {
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << "IEIZCQERGUDC" << "s3cret";
        QTest::newRow("latin1_looking_like_utf8") << "DWDCGP" << "\u00C3\u00A9x";
        QTest::newRow("cjk_non_bmp") << QString() << "\u5BC6\u7801\u0141\u00F3d\u017A\u20ACa\U0001F600\U00020000";
    }
    void password()
    {
        QFETCH(QString, letters);
        QFETCH(QString, text);
        const CPasswordCodec codec;
        const QString encoded = codec.Encode(text, codec.kSeed);
        if (!letters.isNull())
            QCOMPARE(encoded, letters);
        QCOMPARE(codec.Decode(encoded, codec.kSeed), text);
    }

    // Only the user's own file is written, through the user's own link: it
    // keeps owner and group, a new file is its owner's alone, a stored password
    // narrows a file others can read, another key keeps the mode, a read-only
    // file (also for root) is left alone. "nobody" (65534) is the other user.
    void ownership_data()
    {
        QTest::addColumn<QList<int>>("row"); // link (0 none, 1 ours, 2 theirs), file's owner, sticky folder,
                                             // mode (-1 no file), secret, written (2 the same again), mode after
        const int other = 65534;
        QTest::newRow("new_file") << QList<int>{0, 0, 0, -1, 0, 1, 0600};
        QTest::newRow("own_file") << QList<int>{0, 0, 0, 0664, 1, 1, 0600};
        QTest::newRow("same_password_again") << QList<int>{0, 0, 0, 0604, 1, 2, 0600};
        QTest::newRow("other_key_keeps_mode") << QList<int>{0, 0, 0, 0640, 0, 1, 0640};
        QTest::newRow("owner_rights_kept") << QList<int>{0, 0, 0, 0754, 1, 1, 0700};
        QTest::newRow("read_only_left_alone") << QList<int>{0, 0, 0, 0444, 1, 0, 0444};
        QTest::newRow("own_link") << QList<int>{1, 0, 0, 0640, 0, 1, 0640};
        QTest::newRow("link_to_other_users_file") << QList<int>{1, other, 0, 0666, 0, 0, 0666};
        QTest::newRow("other_users_link_to_own_file") << QList<int>{2, 0, 0, 0644, 0, 0, 0644};
        QTest::newRow("other_users_file_as_root") << QList<int>{0, other, 0, 0666, 1, 0, 0666};
        QTest::newRow("sticky_folder_own_file") << QList<int>{0, 0, 1, 0644, 0, 1, 0644};
        QTest::newRow("sticky_folder_other_users_file") << QList<int>{0, other, 1, 0644, 0, 0, 0644};
    }
    void ownership()
    {
        QFETCH(QList<int>, row);
        const int link = row[0], owner = row[1], mode = row[3];
        const bool root = geteuid() == 0;
        if (!root && (owner || link || row[2]))
            QSKIP("giving a file to another user needs root");
        const int user = root ? owner : int(geteuid()), group = root ? 65534 : int(getegid());
        QTemporaryDir dir;
        const QString target = dir.filePath("data.ini"), path = dir.filePath("Pell.ini");
        const QByteArray before = "[s]\nPass=AB\n";
        QVERIFY(mode < 0 || (WriteBytes(target, before) && chown(qPrintable(target), uid_t(user), gid_t(group)) == 0 &&
                             chmod(qPrintable(target), mode_t(mode)) == 0));
        if (row[2])
            QVERIFY(chown(qPrintable(dir.path()), 65534, 65534) == 0 && chmod(qPrintable(dir.path()), 01777) == 0);
        if (link)
            QVERIFY(symlink("data.ini", qPrintable(path)) == 0 && lchown(qPrintable(path), link == 2 ? 65534 : 0, 0) == 0);
        m_settings.Write(link ? path : target, "s", "Pass", row[5] == 2 ? "AB" : "CD", row[4]);
        struct stat info {};
        QCOMPARE(stat(qPrintable(target), &info), 0);
        QCOMPARE(QList<int>({int(info.st_uid), int(info.st_gid), int(info.st_mode & 07777)}),
                 QList<int>({user, mode < 0 ? int(getegid()) : group, row[6]}));
        QCOMPARE(ReadBytes(target), row[5] == 1 ? QByteArray("[s]\nPass=CD\n") : before);
        QCOMPARE(QFileInfo(path).isSymLink(), link != 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), link ? 2 : 1);
    }

    // The file keeps blue, green, red from the high byte down.
    void colour()
    {
        QCOMPARE(ToQColor(ParseColour("  -0x1f")), QColor(0x1F, 0, 0)); // blanks and sign skipped
        QCOMPARE(ToQColor(ParseColour("0X00ff00")), QColor(0, 255, 0));
    }

    // The GBK files: a character GBK lacks becomes '?', so does a byte GBK never uses.
    void gbkText()
    {
        QCOMPARE(QByteArray::fromStdString(AnsiCodePage::FromUnicode(QStringLiteral("数据库?\uD55C\U0001F600"))),
                 QByteArray("\xca\xfd\xbe\xdd\xbf\xe2???"));
        QCOMPARE(AnsiCodePage::ToUnicode(std::string_view("\xca\xfd\xbe\xdd" "ab\xca", 7)), QStringLiteral("数据ab?"));
        QCOMPARE(AnsiCodePage::ToUnicode(std::string_view("\xff" "c", 2)), QStringLiteral("?c"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
