#include "settings/SettingsFile.h"

#include "common/CompleteWrite.h"
#include "common/DebugTrace.h"
#include "settings/IniDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

namespace {

// What the private-profile read returns for a missing key; a stored value
// equal to it counts as missing too.
const QString kMissing = QStringLiteral("_?_NULL_|_");

// Larger files are not settings files; they are neither parsed nor rewritten.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// The connect worker writes while the window thread paints with reads; each
// read-modify-write of the file must not interleave with another.
std::mutex& FileMutex()
{
    static std::mutex mutex;
    return mutex;
}

enum class FileState { Missing, Loaded, Unusable };

struct LoadedFile {
    FileState state = FileState::Missing;
    CIniDocument document;
};

LoadedFile Load(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (!info.isFile() || info.size() > kMaxFileSize)
        return {FileState::Unusable, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {FileState::Unusable, {}};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {FileState::Unusable, {}};
    return {FileState::Loaded, CIniDocument::FromBytes(bytes)};
}

// The file the program may replace: `path` itself, or the regular file its
// links lead to; a refusal names why it is left alone. Another user's file
// is never taken over, not even by root, and neither is a link someone else
// planted (a Pell.ini in a shared folder pointing at one of our files).
struct WriteTarget {
    QString path;
    const char16_t* refusal = nullptr;
};

WriteTarget FindWriteTarget(const QString& path)
{
    QString at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(QFile::encodeName(at).constData(), &info) != 0) {
            if (errno == ENOENT && hops == 0)
                return {at};
            return {at, u"链接的目标不存在"};
        }
        if (!S_ISLNK(info.st_mode)) {
            if (!S_ISREG(info.st_mode))
                return {at, u"不是普通文件"};
            if (info.st_uid != geteuid())
                return {at, u"属于其他用户"};
            return {at};
        }
        if (info.st_uid != geteuid())
            return {at, u"链接属于其他用户"};
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t size = readlink(QFile::encodeName(at).constData(), target.data(), size_t(target.size()));
        if (size <= 0 || size >= target.size())
            return {at, u"链接无法读取"};
        target.truncate(size);
        at = QFileInfo(at).dir().absoluteFilePath(QFile::decodeName(target));
    }
    return {at, u"链接层数过多"};
}

// Said once per file and reason: reads write missing keys back all the time.
void TraceReadOnly(const QString& path, const char16_t* reason)
{
    static QSet<QString> told;
    const QString what = path + u'\n' + QString::fromUtf16(reason);
    if (told.contains(what))
        return;
    told.insert(what);
    DebugTrace(u"设置文件只读使用: %s (%s)", {path, QString::fromUtf16(reason)});
}

// The read-only mark counts for every user, root included, as the file
// attribute it stands for does.
bool MayReplace(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    const auto writeBits = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.isWritable() && (info.permissions() & writeBits);
}

// A line break inside a value would start a line of its own.
QString OneLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

// The file holds passwords in a scramble anyone can reverse: a new one is
// its owner's alone, and storing a password takes away the rights of the
// group and of others.
mode_t KeptMode(const struct stat* existing, bool secret)
{
    const mode_t mode = existing ? existing->st_mode & 07777 : 0600;
    return secret ? mode & 0700 : mode;
}

// The file is replaced only by a complete new copy, so a failed write (disk
// full, folder not writable) leaves the old settings as they were. A file
// that exists but could not be read is never replaced: its content is unknown.
void Store(const QString& path, LoadedFile& loaded, const QString& section, const QString& key,
           const QString& value, bool secret = false)
{
    if (loaded.state == FileState::Unusable)
        return;
    const WriteTarget target = FindWriteTarget(path);
    if (target.refusal) {
        TraceReadOnly(path, target.refusal);
        return;
    }
    if (!MayReplace(target.path))
        return;
    struct stat old {};
    const bool existed = stat(QFile::encodeName(target.path).constData(), &old) == 0;
    if (!loaded.document.SetValue(section, key, OneLine(value))) {
        // Nothing to rewrite, but a password already stored stays exposed.
        if (secret && existed)
            chmod(QFile::encodeName(target.path).constData(), KeptMode(&old, true));
        return;
    }
    QSaveFile file(target.path);
    if (!OpenReplacement(file))
        return;
    // Owner, group and mode go on the copy before it takes the file's place,
    // so that no moment shows the passwords to others. A group we may not
    // give it leaves the file as it is rather than changed.
    const int handle = file.handle();
    if ((existed && old.st_gid != getegid() && fchown(handle, uid_t(-1), old.st_gid) != 0)
        || fchmod(handle, KeptMode(existed ? &old : nullptr, secret)) != 0) {
        file.cancelWriting();
        TraceReadOnly(path, u"无法保持文件的组和权限");
        return;
    }
    if (!WriteAll(file, loaded.document.ToBytes())) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

// The private-profile rule: matching quotes stripped. A value is read whole,
// as it was written: a cut server name or password would name another.
QString ProfileString(const QString& stored)
{
    if (stored.size() >= 2 && (stored.front() == u'"' || stored.front() == u'\'') && stored.back() == stored.front())
        return stored.sliced(1, stored.size() - 2);
    return stored;
}

} // namespace

QString CSettingsFile::FullPath(const QString& fileName) const
{
    if (fileName.contains(u'/') || fileName.contains(u'\\'))
        return fileName;
    // Resolved at every call: the working directory may change between calls.
    return QDir(QDir::currentPath()).filePath(fileName);
}

std::optional<QString> CSettingsFile::Find(const QString& fileName, const QString& section,
                                           const QString& key) const
{
    const QString path = FullPath(fileName);
    LoadedFile loaded;
    {
        const std::lock_guard lock(FileMutex());
        loaded = Load(path);
    }
    const QString value = ProfileString(loaded.document.Value(section, key).value_or(kMissing)).trimmed();
    if (value == kMissing)
        return std::nullopt;
    return value;
}

QString CSettingsFile::Read(const QString& fileName, const QString& section, const QString& key,
                            const QString& defaultValue) const
{
    const QString path = FullPath(fileName);
    const std::lock_guard lock(FileMutex());
    LoadedFile loaded = Load(path);
    QString value = ProfileString(loaded.document.Value(section, key).value_or(kMissing)).trimmed();
    if (value == kMissing) {
        value = defaultValue == kMissing ? QString() : defaultValue;
        Store(path, loaded, section, key, value);
    }
    return value;
}

void CSettingsFile::Write(const QString& fileName, const QString& section, const QString& key,
                          const QString& value, bool secret) const
{
    const QString path = FullPath(fileName);
    const std::lock_guard lock(FileMutex());
    LoadedFile loaded = Load(path);
    Store(path, loaded, section, key, value, secret);
}
