#include "Pixels.h"
#include "settings/SettingsFile.h"
#include "ui/RowColourDelegate.h"
#include "ui/RowColours.h"

#include <QTemporaryDir>
#include <QTreeWidget>

#include <filesystem>

class TestRowColours : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;
    CSettingsFile m_settings;
    QTreeWidget m_list; // flat, two columns, like the window's

    // A spot of the second column right of its short text, clear of grid lines.
    QRgb Background(const QImage& image, int row) { return image.pixel(225, Rect(row).center().y()); }
    QRect Rect(int row) { return m_list.visualItemRect(m_list.topLevelItem(row)); }
    QImage Show(const char* prefix)
    {
        m_path = m_dir.filePath(prefix + QString(".ini")); // the colour cache is keyed by path
        new CRowColourDelegate(&m_settings, &m_path, prefix, &m_list);
        m_list.show();
        return QTest::qWaitForWindowExposed(&m_list) ? Grab(*m_list.viewport()) : QImage();
    }

private slots:
    void initTestCase()
    {
        m_list.setColumnCount(2);
        m_list.setAllColumnsShowFocus(true);
        for (int i = 0; i < 4; ++i)
            m_list.addTopLevelItem(new QTreeWidgetItem({"WWW", "WWW"}));
    }

    // Missing keys are written back, background first; an edit shows at the next repaint
    // even when it keeps the file's inode, size and modification time.
    void fileFollowedAtRepaint()
    {
        const QImage image = Show("DB");
        QCOMPARE(std::pair(Background(image, 0), Background(image, 1)), std::pair(Rgb(0xE4E4E4), Rgb(0xC0C0C0)));
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("[Config]\nDBRow0BkColor=0xE4E4E4\nDBRow0TextColor=0x000000\nDBRow1BkColor=0xC0C0C0\n"));
        const auto stamp = std::filesystem::last_write_time(QFile::encodeName(m_path).toStdString());
        bytes.replace("0xE4E4E4", "0xFF0000"); // blue, in the file's BGR order
        QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        file.close();
        std::filesystem::last_write_time(QFile::encodeName(m_path).toStdString(), stamp);
        QCOMPARE(Background(Grab(*m_list.viewport()), 0), Rgb(kBlue));
    }

    // Row 0 and 2 a word (black), row 1 green with red text, row 3 selected: white on blue
    // whatever the file says. The focused list's current row 1 keeps its own colours too.
    void paintedColours()
    {
        m_settings.Write(m_dir.filePath("ST.ini"), "Config", "STRow1BkColor", "0x00FF00");
        m_settings.Write(m_dir.filePath("ST.ini"), "Config", "STRow1TextColor", "0xFF");
        m_settings.Write(m_dir.filePath("ST.ini"), "Config", "STRow0BkColor", "yellow");
        m_list.topLevelItem(3)->setSelected(true);
        m_list.setCurrentItem(m_list.topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
        m_list.setFocus();
        const QImage image = Show("ST");
        const ColorRef back[] = {kBlack, kGreen, kBlack, kSelectedBack}, text[] = {kBlack, kRed, kBlack, kSelectedText};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(Background(image, i), Rgb(back[i]));
            // Inside the one-pixel frame, where the current row's dotted outline runs.
            for (const ColorRef colour : {kBlack, kRed, kSelectedText, kGreen})
                QVERIFY2((colour == text[i] || colour == back[i]) == (CountPixels(image, Rect(i) - QMargins(1, 1, 2, 2), colour) > 0),
                         qPrintable(QString("row %1, colour %2").arg(i).arg(colour, 0, 16)));
        }
    }
};

QTEST_MAIN(TestRowColours)
#include "TestRowColours.moc"
