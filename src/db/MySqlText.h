#pragma once

#include <QString>

#include <string>
#include <string_view>

// The MySQL connection's text: utf8mb4 both ways (utf8 on a server that
// lacks it), so that nothing the window shows is lost on the way.
inline std::string ToMySql(const QString& text)
{
    return text.toStdString();
}

inline QString FromMySql(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
