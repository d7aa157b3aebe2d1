#pragma once

#include <QFile>

#include <utility>
#include <vector>

#include <zip.h>

inline bool WriteZip(const QString& path, const std::vector<std::pair<QByteArray, QByteArray>>& entries)
{
    int code = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    bool added = zip != nullptr;
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        added = added && zip_file_add(zip, name.constData(), source, ZIP_FL_ENC_UTF_8) >= 0;
    }
    return added && zip_close(zip) == 0;
}

inline QByteArray ZipEntry(const QString& path, const char* name)
{
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    zip_stat_t stat;
    zip_file_t* file = zip && zip_stat(zip, name, 0, &stat) == 0 ? zip_fopen(zip, name, 0) : nullptr;
    QByteArray bytes(file ? qsizetype(stat.size) : 0, Qt::Uninitialized);
    if (file && zip_fread(file, bytes.data(), stat.size) != zip_int64_t(stat.size))
        bytes.clear();
    if (file)
        zip_fclose(file);
    if (zip)
        zip_discard(zip);
    return bytes;
}
