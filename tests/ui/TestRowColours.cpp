#include "settings/SettingsFile.h"
#include "ui/RowColourDelegate.h"
#include "ui/RowColours.h"

#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <filesystem>

namespace {

const ColorRef kRed = MakeColorRef(255, 0, 0);
const ColorRef kGreen = MakeColorRef(0, 255, 0);
const ColorRef kBlue = MakeColorRef(0, 0, 255);
const ColorRef kEvenDefault = 0xE4E4E4;
const ColorRef kOddDefault = 0xC0C0C0;
const ColorRef kBlack = 0;

QString FileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

int CountPixels(const QImage& image, const QRect& area, ColorRef colour)
{
    const QRgb wanted = ToQColor(colour).rgb();
    int count = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            count += image.pixel(x, y) == wanted ? 1 : 0;
    return count;
}

// A flat two-column list like the window's, painted through the delegate.
class ListUnderTest
{
public:
    ListUnderTest(const CSettingsFile* settings, const QString* path, const QString& prefix, int rows)
    {
        m_list.setColumnCount(2);
        m_list.setRootIsDecorated(false);
        m_list.setSelectionMode(QAbstractItemView::SingleSelection);
        m_list.setSelectionBehavior(QAbstractItemView::SelectRows);
        QFont font = m_list.font();
        font.setPointSize(16);
        m_list.setFont(font);
        m_list.header()->resizeSection(0, 120);
        m_list.header()->resizeSection(1, 120);
        m_list.resize(300, 300);
        new CRowColourDelegate(settings, path, prefix, &m_list);
        for (int i = 0; i < rows; ++i)
            AddRow();
    }

    void AddRow() { m_list.addTopLevelItem(new QTreeWidgetItem({"WWW", "WWW"})); }
    QTreeWidget& List() { return m_list; }

    bool Show()
    {
        m_list.show();
        return QTest::qWaitForWindowExposed(&m_list);
    }

    QImage Grab() { return m_list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QRect RowRect(int row) { return m_list.visualItemRect(m_list.topLevelItem(row)); }

    // A spot of the second column right of its short text, clear of grid lines.
    QRgb Background(const QImage& image, int row)
    {
        const QRect rect = RowRect(row);
        return image.pixel(225, rect.center().y());
    }

private:
    QTreeWidget m_list;
};

} // namespace

class TestRowColours : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void defaultsByParity_data();
    void defaultsByParity();
    void newFileGainsKeys();
    void paintedColours_data();
    void paintedColours();
    void editShowsAtNextRepaint();
    void unchangedFileIsNotReread();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    CSettingsFile m_settings;
};

void TestRowColours::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath("Pell.ini");
}

void TestRowColours::defaultsByParity_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<ColorRef>("background");
    QTest::addColumn<QString>("backKey");
    QTest::addColumn<QString>("textKey");

    QTest::newRow("row 0 even") << 0 << kEvenDefault << "TBRow0BkColor" << "TBRow0TextColor";
    QTest::newRow("row 1 odd") << 1 << kOddDefault << "TBRow1BkColor" << "TBRow1TextColor";
    QTest::newRow("row 4 even") << 4 << kEvenDefault << "TBRow0BkColor" << "TBRow0TextColor";
    QTest::newRow("row 7 odd") << 7 << kOddDefault << "TBRow1BkColor" << "TBRow1TextColor";
}

void TestRowColours::defaultsByParity()
{
    QFETCH(int, row);
    QFETCH(ColorRef, background);
    QFETCH(QString, backKey);
    QFETCH(QString, textKey);

    const RowColours colours = ReadRowColours(m_settings, m_path, "TB", row);
    QCOMPARE(colours.background, background);
    QCOMPARE(colours.text, kBlack);

    // Both keys were written back, background first, in section Config only.
    const QString text = FileText(m_path);
    const qsizetype section = text.indexOf("[Config]");
    const qsizetype back = text.indexOf(backKey + "=0x" + QString::number(background, 16).toUpper());
    const qsizetype fore = text.indexOf(textKey + "=0x000000");
    QVERIFY2(section >= 0 && back > section && fore > back, qPrintable(text));
    QCOMPARE(text.count("Color="), 2);
}

void TestRowColours::newFileGainsKeys()
{
    ListUnderTest list(&m_settings, &m_path, "DB", 1);
    QVERIFY(list.Show());
    QImage image = list.Grab();
    QCOMPARE(list.Background(image, 0), ToQColor(kEvenDefault).rgb());

    QString text = FileText(m_path);
    QVERIFY2(text.contains("DBRow0BkColor=0xE4E4E4") && text.contains("DBRow0TextColor=0x000000"),
             qPrintable(text));
    QVERIFY(!text.contains("DBRow1"));

    list.AddRow();
    image = list.Grab();
    QCOMPARE(list.Background(image, 1), ToQColor(kOddDefault).rgb());
    text = FileText(m_path);
    QVERIFY2(text.contains("DBRow1BkColor=0xC0C0C0") && text.contains("DBRow1TextColor=0x000000"),
             qPrintable(text));
}

void TestRowColours::paintedColours_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QList<ColorRef>>("backgrounds");
    QTest::addColumn<QList<ColorRef>>("texts");

    const QList<ColorRef> defaults{kEvenDefault, kOddDefault, kEvenDefault, kOddDefault};
    const QList<ColorRef> black{kBlack, kBlack, kBlack, kBlack};
    QTest::newRow("odd text 0xFF is red")
        << QByteArray("[Config]\nSTRow1TextColor=0xFF\n") << -1 << defaults
        << QList<ColorRef>{kBlack, kRed, kBlack, kRed};
    QTest::newRow("no selection follows parity")
        << QByteArray("[Config]\nSTRow0BkColor=0xFF0000\nSTRow1BkColor=0x00FF00\n") << -1
        << QList<ColorRef>{kBlue, kGreen, kBlue, kGreen} << black;
    QTest::newRow("a word paints black")
        << QByteArray("[Config]\nSTRow0BkColor=yellow\nSTRow1TextColor=red\n") << -1
        << QList<ColorRef>{kBlack, kOddDefault, kBlack, kOddDefault} << black;
    QTest::newRow("selected row is white on blue whatever the file says")
        << QByteArray("[Config]\nSTRow1BkColor=0x00FF00\nSTRow1TextColor=0xFF\n") << 1
        << QList<ColorRef>{kEvenDefault, kSelectedBack, kEvenDefault, kGreen}
        << QList<ColorRef>{kBlack, kSelectedText, kBlack, kRed};
    QTest::newRow("selected even row")
        << QByteArray("[Config]\nSTRow0TextColor=0xFF\n") << 2
        << QList<ColorRef>{kEvenDefault, kOddDefault, kSelectedBack, kOddDefault}
        << QList<ColorRef>{kRed, kBlack, kSelectedText, kBlack};
}

void TestRowColours::paintedColours()
{
    QFETCH(QByteArray, file);
    QFETCH(int, selected);
    QFETCH(QList<ColorRef>, backgrounds);
    QFETCH(QList<ColorRef>, texts);

    WriteFile(m_path, file);
    ListUnderTest list(&m_settings, &m_path, "ST", 4);
    if (selected >= 0)
        list.List().topLevelItem(selected)->setSelected(true);
    QVERIFY(list.Show());
    const QImage image = list.Grab();

    for (int row = 0; row < 4; ++row) {
        const QByteArray where = "row " + QByteArray::number(row);
        QVERIFY2(list.Background(image, row) == ToQColor(backgrounds[row]).rgb(), where);
        const QRect rect = list.RowRect(row);
        if (texts[row] != backgrounds[row])
            QVERIFY2(CountPixels(image, rect, texts[row]) > 0, where);
        for (const ColorRef other : texts) {
            if (other != texts[row] && other != backgrounds[row])
                QVERIFY2(CountPixels(image, rect, other) == 0, where);
        }
    }
}

void TestRowColours::editShowsAtNextRepaint()
{
    ListUnderTest list(&m_settings, &m_path, "ST", 2);
    QVERIFY(list.Show());
    QCOMPARE(list.Background(list.Grab(), 0), ToQColor(kEvenDefault).rgb());

    // Past the file system's timestamp granularity, with and without a change of size.
    QTest::qWait(50);
    m_settings.Write(m_path, "Config", "STRow0BkColor", "0xFF00");
    QCOMPARE(list.Background(list.Grab(), 0), ToQColor(kGreen).rgb());
    QTest::qWait(50);
    m_settings.Write(m_path, "Config", "STRow0BkColor", "0xFF0000");
    QCOMPARE(list.Background(list.Grab(), 0), ToQColor(kBlue).rgb());
}

// Same size and modification time count as the same file: its colours come
// from memory until either changes.
void TestRowColours::unchangedFileIsNotReread()
{
    ListUnderTest list(&m_settings, &m_path, "ST", 2);
    QVERIFY(list.Show());
    QCOMPARE(list.Background(list.Grab(), 0), ToQColor(kEvenDefault).rgb());

    QByteArray bytes;
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }
    const QByteArray before = "STRow0BkColor=0xE4E4E4";
    QVERIFY(bytes.contains(before));
    bytes.replace(before, "STRow0BkColor=0x00FF00");
    const std::filesystem::path file(QFile::encodeName(m_path).toStdString());
    const auto stamp = std::filesystem::last_write_time(file);
    {
        QFile out(m_path);
        QVERIFY(out.open(QIODevice::ReadWrite));
        QCOMPARE(out.write(bytes), bytes.size());
    }
    std::filesystem::last_write_time(file, stamp);

    QCOMPARE(list.Background(list.Grab(), 0), ToQColor(kEvenDefault).rgb());

    std::filesystem::last_write_time(file, stamp + std::chrono::seconds(1));
    QCOMPARE(list.Background(list.Grab(), 0), ToQColor(kGreen).rgb());
}

QTEST_MAIN(TestRowColours)
#include "TestRowColours.moc"
