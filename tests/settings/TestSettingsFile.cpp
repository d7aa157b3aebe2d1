#include "settings/SettingsFile.h"

#include "SettingsTestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The private-profile rules, on files in a temporary working directory.
class TestSettingsFile : public QObject
{
    Q_OBJECT
private:
    CSettingsFile m_settings;
    QString m_oldCwd;
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }
    void cleanup()
    {
        QDir::setCurrent(m_oldCwd);
        m_dir.reset();
    }

    void startReadCreatesFile()
    {
        QCOMPARE(m_settings.Read("Pell.ini", "Database", "Server1", QString()), QString());
        QCOMPARE(ReadBytes(m_dir->filePath("Pell.ini")), QByteArray("[Database]\nServer1=\n"));
    }

    void bareNameFollowsWorkingDirectory()
    {
        QTemporaryDir other;
        m_settings.Write("Pell.ini", "Database", "Server1", "first");
        QVERIFY(QDir::setCurrent(other.path()));
        QCOMPARE(QFileInfo(m_settings.FullPath("Pell.ini")).absoluteFilePath(), other.filePath("Pell.ini"));
        QCOMPARE(m_settings.Read("Pell.ini", "Database", "Server1", "none"), QString("none"));
        QCOMPARE(ReadBytes(m_dir->filePath("Pell.ini")), QByteArray("[Database]\nServer1=first\n"));
        QCOMPARE(ReadBytes(other.filePath("Pell.ini")), QByteArray("[Database]\nServer1=none\n"));
    }

    void nameWithDirectoryUnchanged_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("relative_slash") << "conf/Pell.ini";
        QTest::newRow("absolute") << "/etc/velmora/Pell.ini";
        QTest::newRow("backslash") << "conf\\Pell.ini";
    }
    void nameWithDirectoryUnchanged()
    {
        QFETCH(QString, name);
        QCOMPARE(m_settings.FullPath(name), name);
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("defaultValue");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QByteArray>("after");

        const QByteArray servers = "[DataBase]\nSERVER1=host\n";
        QTest::newRow("case_insensitive") << servers << "database" << "server1" << "x" << "host" << servers;
        QTest::newRow("double_quotes") << QByteArray("[h]\nPort=\"3306\"\n") << "h" << "Port" << "" << "3306"
                                       << QByteArray("[h]\nPort=\"3306\"\n");
        QTest::newRow("single_quotes") << QByteArray("[h]\nUser='sa'\n") << "h" << "User" << "" << "sa"
                                       << QByteArray("[h]\nUser='sa'\n");
        QTest::newRow("unmatched_quotes") << QByteArray("[h]\nUser=\"sa'\n") << "h" << "User" << "" << "\"sa'"
                                          << QByteArray("[h]\nUser=\"sa'\n");
        QTest::newRow("space_inside_quotes") << QByteArray("[h]\nUser=\" sa \"\n") << "h" << "User" << "" << "sa"
                                             << QByteArray("[h]\nUser=\" sa \"\n");
        QTest::newRow("white_space") << QByteArray("[ h ]\n  User \t=  sa b \t\n") << "h" << "user" << "" << "sa b"
                                     << QByteArray("[ h ]\n  User \t=  sa b \t\n");
        const QByteArray longValue = "[h]\nk=" + QByteArray(300, 'x') + "\n";
        QTest::newRow("cut_to_259") << longValue << "h" << "k" << "" << QString(259, u'x') << longValue;
        const QByteArray pairAtCut = "[h]\nk=" + QByteArray(258, 'x') + "\xF0\x9F\x98\x80yy\n";
        QTest::newRow("cut_keeps_pairs_whole") << pairAtCut << "h" << "k" << "" << QString(258, u'x') << pairAtCut;
        QTest::newRow("marker_stored") << QByteArray("[h]\nk=_?_NULL_|_\nj=1\n") << "h" << "k" << "dflt" << "dflt"
                                       << QByteArray("[h]\nk=dflt\nj=1\n");
        QTest::newRow("marker_quoted") << QByteArray("[h]\nk=' _?_NULL_|_'\n") << "h" << "k" << "d" << "d"
                                       << QByteArray("[h]\nk=d\n");
        QTest::newRow("marker_other_case") << QByteArray("[h]\nk=_?_null_|_\n") << "h" << "k" << "d" << "_?_null_|_"
                                           << QByteArray("[h]\nk=_?_null_|_\n");
        QTest::newRow("marker_as_default") << QByteArray("[h]\n") << "h" << "k" << "_?_NULL_|_" << ""
                                           << QByteArray("[h]\nk=\n");
        QTest::newRow("missing_key_written_back")
            << QByteArray("[Config]\nDBRow0TextColor=0x000000\n") << "Config" << "DBRow0BkColor" << "0xE4E4E4"
            << "0xE4E4E4" << QByteArray("[Config]\nDBRow0TextColor=0x000000\nDBRow0BkColor=0xE4E4E4\n");
        QTest::newRow("missing_section_written_back") << QByteArray("[Database]\nServer1=a\n") << "srv" << "Type" << ""
                                                      << "" << QByteArray("[Database]\nServer1=a\n[srv]\nType=\n");
        QTest::newRow("first_of_duplicates") << QByteArray("[h]\nk=1\nK=2\n[H]\nk=3\n") << "h" << "k" << "" << "1"
                                             << QByteArray("[h]\nk=1\nK=2\n[H]\nk=3\n");
        QTest::newRow("key_of_other_section") << QByteArray("[a]\nk=1\n[b]\n") << "b" << "k" << "2" << "2"
                                              << QByteArray("[a]\nk=1\n[b]\nk=2\n");
        QTest::newRow("key_before_sections") << QByteArray("k=1\n[h]\n") << "h" << "k" << "2" << "2"
                                             << QByteArray("k=1\n[h]\nk=2\n");
        QTest::newRow("comment_is_no_key") << QByteArray("[h]\n;k=1\nj=0\n") << "h" << "k" << "2" << "2"
                                           << QByteArray("[h]\n;k=1\nj=0\nk=2\n");
        QTest::newRow("empty_value_is_no_marker") << QByteArray("[h]\nk=\n") << "h" << "k" << "2" << ""
                                                  << QByteArray("[h]\nk=\n");
    }
    void read()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, defaultValue);
        QFETCH(QString, expected);
        QFETCH(QByteArray, after);
        QVERIFY(WriteBytes("Pell.ini", before));
        QCOMPARE(m_settings.Read("Pell.ini", section, key, defaultValue), expected);
        QCOMPARE(ReadBytes("Pell.ini"), after);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("replace_in_place")
            << QByteArray("; head\n[Database]\nServer1=old\n\n; note\nServer2=b\n[Config]\nx=1\n") << "database"
            << "SERVER1" << "new" << QByteArray("; head\n[Database]\nServer1=new\n\n; note\nServer2=b\n[Config]\nx=1\n");
        QTest::newRow("replace_keeps_spelling_and_spacing") << QByteArray("[A]\n  KEY = old value\nz=\n") << "a"
                                                            << "key" << "v" << QByteArray("[A]\n  KEY = v\nz=\n");
        QTest::newRow("replace_quoted") << QByteArray("[A]\nk=\"a b\"\n") << "A" << "k" << "" << QByteArray("[A]\nk=\n");
        QTest::newRow("append_after_last_key") << QByteArray("[Database]\nServer1=a\n\n\n[Config]\nx=1\n")
                                               << "Database" << "Server2" << "b"
                                               << QByteArray("[Database]\nServer1=a\nServer2=b\n\n\n[Config]\nx=1\n");
        QTest::newRow("append_before_next_comment") << QByteArray("[A]\nk=1\n; about B\n[B]\n") << "A" << "j" << "v"
                                                    << QByteArray("[A]\nk=1\nj=v\n; about B\n[B]\n");
        QTest::newRow("append_to_empty_section") << QByteArray("[A]\n\n[B]\nx=1\n") << "A" << "k" << "v"
                                                 << QByteArray("[A]\nk=v\n\n[B]\nx=1\n");
        QTest::newRow("append_to_unterminated_end") << QByteArray("[A]\nk=1") << "A" << "j" << "v"
                                                    << QByteArray("[A]\nk=1\nj=v\n");
        QTest::newRow("append_section") << QByteArray("[A]\nk=1\n\n") << "B" << "j" << "v"
                                        << QByteArray("[A]\nk=1\n\n[B]\nj=v\n");
        QTest::newRow("append_section_unterminated") << QByteArray("[A]\nk=1") << "B" << "j" << "v"
                                                     << QByteArray("[A]\nk=1\n[B]\nj=v\n");
        QTest::newRow("empty_file") << QByteArray() << "Config" << "k" << "v" << QByteArray("[Config]\nk=v\n");
        QTest::newRow("crlf_kept") << QByteArray("[A]\r\nk=1\r\n") << "B" << "j" << "v"
                                   << QByteArray("[A]\r\nk=1\r\n[B]\r\nj=v\r\n");
        QTest::newRow("newline_in_value") << QByteArray("[A]\nk=1\n") << "A" << "k" << "a\r\n[Database]\nx=1"
                                          << QByteArray("[A]\nk=a  [Database] x=1\n");
        QTest::newRow("newline_in_section") << QByteArray("[A]\n") << "s\n[A]" << "k" << "v"
                                            << QByteArray("[A]\n[s [A]]\nk=v\n");
        QTest::newRow("newline_in_key") << QByteArray("[A]\n") << "A" << "k\nj" << "v" << QByteArray("[A]\nk j=v\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QVERIFY(WriteBytes("Pell.ini", before));
        m_settings.Write("Pell.ini", section, key, value);
        QCOMPARE(ReadBytes("Pell.ini"), after);
    }

    void writtenValueReadsBack()
    {
        m_settings.Write("Pell.ini", "srv", "Pass", "ABCD");
        m_settings.Write("Pell.ini", "srv", "Pass", "EFGH");
        QCOMPARE(m_settings.Read("Pell.ini", "SRV", "pass", QString()), QString("EFGH"));
        QCOMPARE(ReadBytes("Pell.ini"), QByteArray("[srv]\nPass=EFGH\n"));
    }

    void permissionsKept()
    {
        QVERIFY(WriteBytes("Pell.ini", "[A]\nk=1\n"));
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions("Pell.ini", mode));
        m_settings.Write("Pell.ini", "A", "k", "2");
        QCOMPARE(ReadBytes("Pell.ini"), QByteArray("[A]\nk=2\n"));
        // Owner, group and other bits; the "user" bits depend on who runs the test.
        const auto bits = QFileDevice::Permissions::fromInt(0x7077);
        QCOMPARE(QFileInfo("Pell.ini").permissions() & bits, mode & bits);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
