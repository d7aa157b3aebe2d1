#include "settings/SettingsFile.h"

#include "SettingsTestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// Files that cannot be written or read sensibly: the settings they hold must
// survive, reads fall back to the defaults, and nothing crashes or hangs.
// The tests run as root, so failures are provoked by means root cannot
// override (file size limit, missing folder, non-files), besides the
// read-only mark, which is honoured for every user.
class TestSettingsFailures : public QObject
{
    Q_OBJECT
private:
    CSettingsFile m_settings;
    const QByteArray m_content = "; keep me\r\n[Database]\r\nServer1=host1\r\n[host1]\r\nType=MySQL\r\n";

private slots:
    void readOnlyFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        QVERIFY(WriteBytes(path, m_content));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        m_settings.Write(path, "host1", "Type", "SQLServer");
        QCOMPARE(m_settings.Read(path, "host1", "Type", ""), QString("MySQL"));
        QCOMPARE(m_settings.Read(path, "host1", "Port", "1433"), QString("1433"));
        QCOMPARE(ReadBytes(path), m_content);
    }

    // Exceeding RLIMIT_FSIZE fails a write with EFBIG as a full disk fails it
    // with ENOSPC, for root too.
    void diskFullKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        const QByteArray big = m_content + "[pad]\n" + QByteArray(8192, ';') + "\n";
        QVERIFY(WriteBytes(path, big));

        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        m_settings.Write(path, "host1", "Type", "SQLServer");
        const QString port = m_settings.Read(path, "host1", "Port", "1433");
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(port, QString("1433"));
        QCOMPARE(ReadBytes(path), big);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Pell.ini"});
        // The same write goes through once the disk has room again.
        m_settings.Write(path, "host1", "Type", "SQLServer");
        QCOMPARE(m_settings.Read(path, "host1", "Type", ""), QString("SQLServer"));
    }

    void folderMissing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("gone/Pell.ini");
        QCOMPARE(m_settings.Read(path, "Database", "Server1", "x"), QString("x"));
        m_settings.Write(path, "Database", "Server1", "y");
        QVERIFY(!QFileInfo::exists(dir.filePath("gone")));
    }

    void pathIsNoFile_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("directory") << false;
        QTest::newRow("fifo") << true;
    }
    // Neither is read (a FIFO would block) nor replaced by a file.
    void pathIsNoFile()
    {
        QFETCH(bool, fifo);
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        if (fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        else
            QVERIFY(QDir(dir.path()).mkpath("Pell.ini/inner"));
        QCOMPARE(m_settings.Read(path, "Database", "Server1", "x"), QString("x"));
        m_settings.Write(path, "Database", "Server1", "y");
        const QFileInfo info(path);
        QVERIFY(!info.isFile());
        if (!fifo)
            QVERIFY(QFileInfo(path + "/inner").isDir());
    }

    void binaryGarbage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        QRandomGenerator random(42);
        QByteArray garbage(256 * 1024, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        QVERIFY(WriteBytes(path, garbage));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_settings.Read(path, "Database", "Server1", "x"), QString("x"));
        m_settings.Write(path, "host1", "User", "sa");
        QCOMPARE(m_settings.Read(path, "host1", "User", ""), QString("sa"));
        QVERIFY(ReadBytes(path).startsWith(garbage));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    void tenMegabytes_data()
    {
        QTest::addColumn<QByteArray>("body");
        QByteArray lines;
        for (int i = 0; lines.size() < 10 * 1024 * 1024; ++i)
            lines += "[Sec" + QByteArray::number(i % 5000) + "]\nkey" + QByteArray::number(i) + "=value\n";
        QTest::newRow("many_lines") << lines;
        QByteArray oneLine(10 * 1024 * 1024, 'k');
        for (qsizetype i = 0; i < oneLine.size(); i += 4099)
            oneLine[i] = '\0';
        QTest::newRow("one_line_with_nuls") << oneLine;
    }
    void tenMegabytes()
    {
        QFETCH(QByteArray, body);
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        const QByteArray before = body + "\n[Database]\nServer1=host1\n";
        QVERIFY(WriteBytes(path, before));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_settings.Read(path, "database", "server1", ""), QString("host1"));
        m_settings.Write(path, "Database", "Server2", "host2");
        QCOMPARE(ReadBytes(path), before + "Server2=host2\n");
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }

    // Not parsed, not rewritten: a sparse file costs no disk.
    void oversizedFileLeftAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pell.ini");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("[Database]\nServer1=a\n") > 0);
        QVERIFY(file.resize(65 * 1024 * 1024));
        file.close();
        QCOMPARE(m_settings.Read(path, "Database", "Server1", "x"), QString("x"));
        m_settings.Write(path, "Database", "Server1", "y");
        QCOMPARE(QFileInfo(path).size(), 65 * 1024 * 1024);
        QVERIFY(ReadBytes(path).startsWith("[Database]\nServer1=a\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFailures)
#include "TestSettingsFailures.moc"
