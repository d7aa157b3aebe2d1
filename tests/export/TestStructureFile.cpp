#include "export/StructureFile.h"
#include "export/ExportFileName.h"

#include <QBuffer>
#include <QTest>

#include <algorithm>

// A device that takes at most `perCall` bytes a call and fails once it holds
// `capacity` bytes, as a file does at its size limit.
class LimitedDevice : public QIODevice
{
public:
    LimitedDevice(qint64 capacity, qint64 perCall) : m_capacity(capacity), m_perCall(perCall)
    {
        open(QIODevice::WriteOnly);
    }
    QByteArray bytes;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        const qint64 room = m_capacity - bytes.size();
        if (room <= 0) {
            setErrorString(QStringLiteral("File too large"));
            return -1;
        }
        const qint64 taken = std::min({size, room, m_perCall});
        bytes.append(data, taken);
        return taken;
    }

private:
    qint64 m_capacity;
    qint64 m_perCall;
};

class TestStructureFile : public QObject
{
    Q_OBJECT

private slots:
    // One column is one line of ten fields whatever its values hold.
    void exportFileName()
    {
        QCOMPARE(ExportFileName("/d/127.0.0.1-shop", true), QString("/d/127.0.0.1-shop.txt"));
        QCOMPARE(ExportFileName("/d/a.TXT", true), QString("/d/a.TXT"));
        QCOMPARE(ExportFileName("/d/127.0.0.1-shop", false), QString("/d/127.0.0.1-shop"));
        QCOMPARE(ExportFileName("", true), QString());
    }

    void line_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("line");
        const QStringList plain = {"c", "int", "10", "0", "", "√", "√", "", "d"};
        QTest::newRow("plain") << plain << 2 << "t\tc\tint\t10\t0\t\t√\t√\t\td";
        QTest::newRow("crlf_cr_lf_each_one_mark")
            << QStringList{"c", "int", "1", "", "", "", "", "a\r\nb", "x\ry\nz\r\n\r\n"} << 2
            << "t\tc\tint\t1\t\t\t\t\ta；b\tx；y；z；；";
        QTest::newRow("lf_cr_is_two_breaks") << QStringList{"c", "int", "1", "", "", "", "", "", "a\n\rb"} << 2
                                            << "t\tc\tint\t1\t\t\t\t\t\ta；；b";
        QTest::newRow("tab_becomes_space") << QStringList{"c\td", "int", "1", "", "", "", "", "", "x\ty"} << 2
                                           << "t\tc d\tint\t1\t\t\t\t\t\tx y";
        QTest::newRow("missing_values_empty") << QStringList{"c"} << 2 << "t\tc\t\t\t\t\t\t\t\t";
    }
    void line()
    {
        QFETCH(QStringList, values);
        QFETCH(int, kind);
        QTEST(StructureLine("t", values, DbKind(kind)), "line");
    }

    // Short writes are completed; a device that fills up fails the write
    // and says why.
    void deviceLimits_data()
    {
        QTest::addColumn<qint64>("capacity");
        QTest::addColumn<bool>("complete");
        QTest::newRow("short_writes_completed") << qint64(1 << 20) << true;
        QTest::newRow("full_in_the_middle") << qint64(300) << false;
    }
    void deviceLimits()
    {
        QFETCH(qint64, capacity);
        QFETCH(bool, complete);
        LimitedDevice device(capacity, 7);
        CStructureWriter writer(device);
        std::vector<QStringList> columns(20, QStringList{"column", "varchar", "20", "", "√", "", "", "NULL", "说明"});
        QCOMPARE(writer.WriteByteOrderMark() && writer.WriteHeader() && writer.WriteTable("t", columns, 2), complete);
        if (complete) {
            QBuffer reference;
            reference.open(QIODevice::WriteOnly);
            CStructureWriter whole(reference);
            QVERIFY(whole.WriteByteOrderMark() && whole.WriteHeader() && whole.WriteTable("t", columns, 2));
            QCOMPARE(device.bytes, reference.data());
        } else {
            QCOMPARE(device.bytes.size(), capacity);
            QCOMPARE(writer.ErrorString(), QString("File too large"));
        }
    }
};

QTEST_GUILESS_MAIN(TestStructureFile)
#include "TestStructureFile.moc"
