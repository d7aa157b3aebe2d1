#pragma once

#include <QByteArrayView>

class QIODevice;
class QSaveFile;

// Replacing a file by a complete new copy: the copy is written beside the
// target and takes its place only on commit, so a failed write leaves the
// old file as it was and no copy behind.

// Opens the copy unbuffered: a buffered write hides a short write (size
// limit, full disk) until the buffer is flushed, and QSaveFile then still
// commits.
bool OpenReplacement(QSaveFile& file);

// Writes every byte or fails. A short write is retried with the rest, so
// that the device records the system's reason for the failure.
bool WriteAll(QIODevice& device, QByteArrayView bytes);
