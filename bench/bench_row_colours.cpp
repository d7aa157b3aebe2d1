// One full repaint of the structure list (9 columns x 30 rows = 270 cells, no row
// selected) with an unchanged settings file: ReadRowColours against two
// CSettingsFile::Read calls per cell (540 file reads), as the list did without a cache.
// Also the first repaint after the file changed, when the cache reloads.
#include "settings/SettingsFile.h"
#include "ui/RowColours.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kColumns = 9;
constexpr int kRows = 30;
constexpr int kCells = kColumns * kRows;

// A settings file as a few weeks of use leave it: a server history, one
// section per server and the colours of all three lists.
QByteArray SettingsText()
{
    QByteArray text = "[Database]\r\n";
    for (int i = 1; i <= 6; ++i)
        text += "Server" + QByteArray::number(i) + "=db-host-" + QByteArray::number(i) + "\r\n";
    text += "[Config]\r\n";
    for (const char* prefix : {"DB", "TB", "ST"})
        text += QByteArray(prefix) + "Row0BkColor=0xE4E4E4\r\n" + prefix + "Row0TextColor=0x000000\r\n" + prefix
            + "Row1BkColor=0xC0C0C0\r\n" + prefix + "Row1TextColor=0x000000\r\n";
    for (int i = 1; i <= 6; ++i)
        text += "[db-host-" + QByteArray::number(i) + "]\r\nKind=" + QByteArray::number(i % 2)
            + "\r\nPort=3306\r\nUser=reader\r\nPassword=5A6B7C8D9E0F1A2B\r\n";
    return text;
}

RowColours UncachedColours(const CSettingsFile& settings, const QString& path, int row)
{
    const bool odd = row % 2 != 0;
    const QString keyBase = QStringLiteral("ST") + (odd ? QStringLiteral("Row1") : QStringLiteral("Row0"));
    const QString section = QStringLiteral("Config");
    const ColorRef background = ParseColour(settings.Read(path, section, keyBase + QStringLiteral("BkColor"),
                                                          odd ? QStringLiteral("0xC0C0C0") : QStringLiteral("0xE4E4E4")));
    const ColorRef text = ParseColour(settings.Read(path, section, keyBase + QStringLiteral("TextColor"),
                                                    QStringLiteral("0x000000")));
    return {text, background};
}

// Sums the colours of every cell so the work cannot be dropped and the two
// ways can be compared.
std::uint64_t Repaint(const std::function<RowColours(int)>& coloursOf)
{
    std::uint64_t sum = 0;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            const RowColours colours = coloursOf(row);
            sum += colours.text + colours.background;
        }
    return sum;
}

struct Result {
    double medianSeconds = 0;
    std::uint64_t sum = 0;
};

Result Measure(int reps, const std::function<void()>& before, const std::function<RowColours(int)>& coloursOf)
{
    std::vector<double> samples;
    Result result;
    for (int rep = 0; rep < reps; ++rep) {
        before();
        const auto start = Clock::now();
        result.sum = Repaint(coloursOf);
        samples.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    result.medianSeconds = samples[samples.size() / 2];
    return result;
}

void PrintRow(const char* name, int reps, const Result& result, double reference)
{
    std::printf("| %s | %d | %.3f | %.2f | %.0fx |\n", name, reps, result.medianSeconds * 1e3,
                result.medianSeconds * 1e6 / kCells, reference / result.medianSeconds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Pell.ini"));
    const QByteArray original = SettingsText();
    {
        QFile file(path);
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(original) != original.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const CSettingsFile settings;
    const auto nothing = [] {};

    constexpr int kUncachedReps = 21;
    constexpr int kCachedReps = 201;
    const Result uncached = Measure(kUncachedReps, nothing, [&](int row) { return UncachedColours(settings, path, row); });
    const auto cachedOf = [&](int row) { return ReadRowColours(settings, path, QStringLiteral("ST"), row); };
    Repaint(cachedOf); // fills the cache; the repaints measured below find the file unchanged
    const Result cached = Measure(kCachedReps, nothing, cachedOf);

    // Moving the modification time is what an edit of the file looks like to the cache.
    QDateTime stamp = QDateTime::currentDateTime().addDays(-1);
    const auto touch = [&] {
        stamp = stamp.addSecs(1);
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(stamp, QFileDevice::FileModificationTime))
            std::fprintf(stderr, "cannot set the modification time of %s\n", qPrintable(path));
    };
    const Result afterEdit = Measure(kUncachedReps, touch, cachedOf);

    QFile check(path);
    if (!check.open(QIODevice::ReadOnly) || check.readAll() != original) {
        std::fprintf(stderr, "the settings file changed during the run\n");
        return 1;
    }
    if (uncached.sum != cached.sum || cached.sum != afterEdit.sum) {
        std::fprintf(stderr, "the ways disagree on the colours\n");
        return 1;
    }

    std::printf("%d cells per repaint (%d columns x %d rows)\n\n", kCells, kColumns, kRows);
    std::printf("| repaint | runs | median ms | us per cell | faster than uncached |\n|---|---:|---:|---:|---:|\n");
    PrintRow("uncached: 2 CSettingsFile::Read per cell", kUncachedReps, uncached, uncached.medianSeconds);
    PrintRow("ReadRowColours, file unchanged", kCachedReps, cached, uncached.medianSeconds);
    PrintRow("ReadRowColours, first repaint after an edit", kUncachedReps, afterEdit, uncached.medianSeconds);
    return 0;
}
