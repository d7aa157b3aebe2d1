// Arbitrary bytes as a settings file: parsing must give the bytes back
// exactly, and a read and a write on a copy of the file must work on them.

#include "settings/Colour.h"
#include "settings/IniDocument.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (CIniDocument::FromBytes(bytes).ToBytes() != bytes)
        std::abort();

    // Memory-backed when possible: every write of the settings file syncs it to disk.
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/fuzz_settings-XXXXXX")
                                                         : QDir::tempPath() + "/fuzz_settings-XXXXXX");
    const QString path = dir.filePath("Pell.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            std::abort();
    }
    const CSettingsFile settings;
    (void)ParseColour(settings.Read(path, "Config", "DBRow0BkColor", "0xE4E4E4"));
    settings.Write(path, "Fuzz", "Key", "value\nx=1");
    if (settings.Read(path, "fuzz", "KEY", QString()) != "value x=1")
        std::abort();
    return 0;
}
