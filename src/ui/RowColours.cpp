#include "ui/RowColours.h"

#include "settings/SettingsFile.h"

#include <QFile>
#include <QHash>

#include <cstdint>
#include <filesystem>
#include <mutex>

namespace {

const QString kSection = QStringLiteral("Config");

// What identifies one version of the file on disk.
struct FileStamp {
    bool exists = false;
    std::filesystem::file_time_type modified{};
    std::uintmax_t size = 0;

    bool operator==(const FileStamp&) const = default;
};

// std::filesystem rather than QFileInfo: its time stamp has the file
// system's full resolution and needs no time-zone conversion per cell.
FileStamp StampOf(const QString& path)
{
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    std::error_code error;
    const auto modified = std::filesystem::last_write_time(file, error);
    if (error)
        return {};
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return {};
    return {true, modified, size};
}

// The parsed colours of one settings file, valid while its stamp holds.
struct CachedFile {
    FileStamp stamp;
    QHash<QString, ColorRef> colours;
};

std::mutex& CacheMutex()
{
    static std::mutex mutex;
    return mutex;
}

QHash<QString, CachedFile>& Cache()
{
    static QHash<QString, CachedFile> cache;
    return cache;
}

ColorRef CachedColour(CachedFile& cached, const CSettingsFile& settings, const QString& fileName,
                      const QString& path, const QString& key, const QString& defaultValue)
{
    const auto found = cached.colours.constFind(key);
    if (found != cached.colours.constEnd())
        return *found;
    const ColorRef colour = ParseColour(settings.Read(fileName, kSection, key, defaultValue));
    // A missing key was just written back, which changes the stamp. Whatever
    // else was cached may predate a change made meanwhile, so keep only this
    // fresh value; the others are read once more on their next use.
    const FileStamp after = StampOf(path);
    if (!(after == cached.stamp)) {
        cached.colours.clear();
        cached.stamp = after;
    }
    cached.colours.insert(key, colour);
    return colour;
}

} // namespace

RowColours ReadRowColours(const CSettingsFile& settings, const QString& settingsPath,
                          const QString& prefix, int row)
{
    const bool odd = row % 2 != 0;
    const QString keyBase = prefix + (odd ? QStringLiteral("Row1") : QStringLiteral("Row0"));
    const QString backDefault = odd ? QStringLiteral("0xC0C0C0") : QStringLiteral("0xE4E4E4");

    const QString path = settings.FullPath(settingsPath);
    const std::lock_guard lock(CacheMutex());
    CachedFile& cached = Cache()[path];
    const FileStamp stamp = StampOf(path);
    if (!(stamp == cached.stamp)) {
        cached.colours.clear();
        cached.stamp = stamp;
    }
    // Background first, then text: the order in which missing keys join the file.
    const ColorRef background = CachedColour(cached, settings, settingsPath, path,
                                             keyBase + QStringLiteral("BkColor"), backDefault);
    const ColorRef text = CachedColour(cached, settings, settingsPath, path,
                                       keyBase + QStringLiteral("TextColor"),
                                       QStringLiteral("0x000000"));
    return {text, background};
}
