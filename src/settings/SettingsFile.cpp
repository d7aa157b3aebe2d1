#include "settings/SettingsFile.h"

#include "common/CompleteWrite.h"
#include "settings/IniDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

constexpr auto kOwnerBits = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// The file holds passwords in a scramble anyone can reverse.
QFileDevice::Permissions CopyPermissions(const QString& path, bool secret)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // QFileInfo reports the user's bits twice, as "User" and as "Owner".
    const auto kept = info.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    return secret ? kept & kOwnerBits : kept;
}

// The file is replaced only by a complete new copy, so a failed write (disk
// full, folder not writable) leaves the old settings as they were. A file
// that exists but could not be read is never replaced: its content is unknown.
void Store(const QString& path, LoadedFile& loaded, const QString& section, const QString& key,
           const QString& value, bool secret = false)
{
    if (loaded.state == FileState::Unusable || !MayReplace(path))
        return;
    if (!loaded.document.SetValue(section, key, OneLine(value))) {
        // Nothing to rewrite, but a password already stored stays exposed.
        if (secret && loaded.state == FileState::Loaded)
            QFile::setPermissions(path, CopyPermissions(path, true));
        return;
    }
    QSaveFile file(path);
    // Set on the copy before it takes the file's place, so that no moment
    // shows the passwords to others.
    if (!OpenReplacement(file) || !file.setPermissions(CopyPermissions(path, secret)))
        return;
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
