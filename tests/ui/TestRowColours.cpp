#include "Pixels.h"
#include "settings/SettingsFile.h"
#include "ui/RowColourDelegate.h"
#include "ui/RowColours.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <filesystem>
#include <memory>

class TestRowColours : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    CSettingsFile m_settings;

    // A flat two-column list like the window's, painted through the delegate.
    std::unique_ptr<QTreeWidget> ShownList(int rows, const QString& prefix = "ST")
    {
        auto list = std::make_unique<QTreeWidget>();
        list->setColumnCount(2);
        list->setAllColumnsShowFocus(true);
        list->resize(300, 300);
        new CRowColourDelegate(&m_settings, &m_path, prefix, list.get());
        while (rows-- > 0)
            AddRow(*list);
        list->show();
        return QTest::qWaitForWindowExposed(list.get()) ? std::move(list) : nullptr;
    }
    static void AddRow(QTreeWidget& list) { list.addTopLevelItem(new QTreeWidgetItem({"WWW", "WWW"})); }
    // A spot of the second column right of its short text, clear of grid lines.
    static QRgb Background(QTreeWidget& list, int row)
    {
        return Grab(*list.viewport()).pixel(225, list.visualItemRect(list.topLevelItem(row)).center().y());
    }
    QByteArray FileBytes() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    // A new file per test: the colour cache is keyed by path.
    void init() { m_path = m_dir.filePath(QTest::currentTestFunction() + QString(".ini")); }

    // Keys are written back as rows first need them. An edit shows at the next
    // repaint; the same size and time stamp count as the same file.
    void fileFollowedAtRepaint()
    {
        const auto list = ShownList(1, "DB");
        QVERIFY(list);
        QCOMPARE(Background(*list, 0), ToQColor(0xE4E4E4).rgb());
        QByteArray text = FileBytes();
        QVERIFY2(text.contains("DBRow0BkColor=0xE4E4E4") && text.contains("DBRow0TextColor=0x000000"), text);
        QVERIFY2(!text.contains("DBRow1"), text);
        AddRow(*list);
        QCOMPARE(Background(*list, 1), ToQColor(0xC0C0C0).rgb());
        text = FileBytes();
        QVERIFY2(text.contains("DBRow1BkColor=0xC0C0C0") && text.contains("DBRow1TextColor=0x000000"), text);

        QTest::qWait(50); // past the file system's time stamp granularity
        m_settings.Write(m_path, "Config", "DBRow0BkColor", "0xFF00");
        QCOMPARE(Background(*list, 0), ToQColor(kGreen).rgb());
        const std::filesystem::path file(QFile::encodeName(m_path).toStdString());
        const auto stamp = std::filesystem::last_write_time(file);
        m_settings.Write(m_path, "Config", "DBRow0BkColor", "0x00FF"); // as long as before
        std::filesystem::last_write_time(file, stamp);
        QCOMPARE(Background(*list, 0), ToQColor(kGreen).rgb());
        std::filesystem::last_write_time(file, stamp + std::chrono::seconds(1));
        QCOMPARE(Background(*list, 0), ToQColor(kRed).rgb());
    }

    void paintedColours()
    {
        for (const auto& [key, value] : {std::pair{"STRow0BkColor", "yellow"}, {"STRow1BkColor", "0x00FF00"},
                                         {"STRow1TextColor", "0xFF"}})
            m_settings.Write(m_path, "Config", key, value);
        const auto list = ShownList(4);
        QVERIFY(list);
        list->topLevelItem(3)->setSelected(true);
        // The focused list's current row keeps its own colours too.
        list->setCurrentItem(list->topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
        list->setFocus();
        struct Row { const char* name; ColorRef back; ColorRef text; };
        const Row rows[] = {
            {"row 0: a word paints black", kBlack, kBlack},
            {"row 1: odd text 0xFF is red", kGreen, kRed},
            {"row 2: even like row 0", kBlack, kBlack},
            {"row 3: selected is white on blue whatever the file says", kSelectedBack, kSelectedText}};
        const QImage image = Grab(*list->viewport());
        for (int i = 0; i < 4; ++i) {
            const Row& row = rows[i];
            const QRect rect = list->visualItemRect(list->topLevelItem(i));
            QVERIFY2(Background(*list, i) == ToQColor(row.back).rgb(), row.name);
            QVERIFY2(row.text == row.back || CountPixels(image, rect, row.text) > 0, row.name);
            // Inside the one-pixel frame, where the current row's dotted outline runs.
            const QRect inner = rect.adjusted(1, 1, -2, -2);
            for (const ColorRef other : {kBlack, kRed, kSelectedText, kGreen})
                QVERIFY2(other == row.text || other == row.back || CountPixels(image, inner, other) == 0,
                         row.name);
        }
    }
};

QTEST_MAIN(TestRowColours)
#include "TestRowColours.moc"
