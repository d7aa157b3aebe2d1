#include "Pixels.h"
#include "settings/SettingsFile.h"
#include "ui/RowColourDelegate.h"
#include "ui/RowColours.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <chrono>
#include <filesystem>

class TestRowColours : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    CSettingsFile m_settings;
    std::unique_ptr<QTreeWidget> m_list;

    // A flat two-column list like the window's, painted through the delegate.
    bool ShowList(int rows, const QString& prefix)
    {
        m_list = std::make_unique<QTreeWidget>();
        m_list->setColumnCount(2);
        m_list->setAllColumnsShowFocus(true);
        m_list->resize(300, 300);
        new CRowColourDelegate(&m_settings, &m_path, prefix, m_list.get());
        while (rows-- > 0)
            AddRow();
        m_list->show();
        return QTest::qWaitForWindowExposed(m_list.get());
    }
    void AddRow() { m_list->addTopLevelItem(new QTreeWidgetItem({"WWW", "WWW"})); }
    // A spot of the second column right of its short text, clear of grid lines.
    int SpotY(int row) const { return m_list->visualItemRect(m_list->topLevelItem(row)).center().y(); }
    QRgb Background(int row) const { return Grab(*m_list->viewport()).pixel(225, SpotY(row)); }
    QByteArray FileBytes() const { QFile file(m_path); return file.open(QIODevice::ReadOnly) ? file.readAll() : ""; }

private slots:
    // A new file per test: the colour cache is keyed by path.
    void init() { m_path = m_dir.filePath(QTest::currentTestFunction() + QString(".ini")); }

    // Keys are written back as rows first need them. An edit shows at the next repaint, also one
    // that keeps the file's size and modification time, whether it replaces the file or writes in place.
    void fileFollowedAtRepaint()
    {
        QVERIFY(ShowList(1, "DB"));
        QCOMPARE(Background(0), Rgb(0xE4E4E4));
        const QByteArray row0 = "[Config]\nDBRow0BkColor=0xE4E4E4\nDBRow0TextColor=0x000000\n";
        QCOMPARE(FileBytes(), row0);
        AddRow();
        QCOMPARE(Background(1), Rgb(0xC0C0C0));
        QCOMPARE(FileBytes(), row0 + "DBRow1BkColor=0xC0C0C0\nDBRow1TextColor=0x000000\n");
        QCOMPARE(Background(0), Rgb(0xE4E4E4));
        const std::filesystem::path file(QFile::encodeName(m_path).toStdString());
        const auto stamp = std::filesystem::last_write_time(file);
        m_settings.Write(m_path, "Config", "DBRow0BkColor", "0x00FF00");
        std::filesystem::last_write_time(file, stamp);
        QCOMPARE(Background(0), Rgb(kGreen));
        QByteArray bytes = FileBytes();
        bytes.replace("0x00FF00", "0xFF0000"); // blue, in the file's BGR order
        QFile inPlace(m_path);
        QVERIFY(inPlace.open(QIODevice::ReadWrite) && inPlace.write(bytes) == bytes.size());
        inPlace.close();
        std::filesystem::last_write_time(file, stamp);
        QCOMPARE(Background(0), Rgb(0xFF0000));
    }

    void paintedColours()
    {
        m_settings.Write(m_path, "Config", "STRow0BkColor", "yellow");
        m_settings.Write(m_path, "Config", "STRow1BkColor", "0x00FF00");
        m_settings.Write(m_path, "Config", "STRow1TextColor", "0xFF");
        QVERIFY(ShowList(4, "ST"));
        m_list->topLevelItem(3)->setSelected(true);
        // The focused list's current row keeps its own colours too.
        m_list->setCurrentItem(m_list->topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
        m_list->setFocus();
        const QImage image = Grab(*m_list->viewport());
        const std::tuple<const char*, ColorRef, ColorRef> rows[] = {{"row 0: a word paints black", kBlack, kBlack},
            {"row 1: odd text 0xFF is red", kGreen, kRed}, {"row 2: even like row 0", kBlack, kBlack},
            {"row 3: selected is white on blue whatever the file says", kSelectedBack, kSelectedText}};
        for (int i = 0; i < 4; ++i) {
            const auto& [name, back, text] = rows[i];
            // Inside the one-pixel frame, where the current row's dotted outline runs.
            const QRect inner = m_list->visualItemRect(m_list->topLevelItem(i)) - QMargins(1, 1, 2, 2);
            QVERIFY2(image.pixel(225, SpotY(i)) == Rgb(back), name);
            QVERIFY2(text == back || CountPixels(image, inner, text) > 0, name);
            for (const ColorRef other : {kBlack, kRed, kSelectedText, kGreen})
                QVERIFY2(other == text || other == back || !CountPixels(image, inner, other), name);
        }
    }
};

QTEST_MAIN(TestRowColours)
#include "TestRowColours.moc"
