#include "ui/RowColours.h"

#include "settings/SettingsFile.h"

#include <QFile>
#include <QHash>

#include <sys/stat.h>

#include <cstdint>
#include <mutex>

namespace {

const QString kSection = QStringLiteral("Config");

// What identifies one version of the file on disk. The change time moves
// with every write and cannot be set back, unlike the modification time; a
// file replaced by a new copy has a new inode.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t changedNs = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

std::int64_t Nanoseconds(const timespec& time)
{
    return std::int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// stat rather than QFileInfo: full resolution, and no time-zone conversion
// per painted cell.
FileStamp StampOf(const QString& path)
{
    struct stat info {};
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size, Nanoseconds(info.st_ctim), Nanoseconds(info.st_mtim)};
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
