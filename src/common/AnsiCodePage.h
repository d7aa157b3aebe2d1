#pragma once

#include <QString>

#include <string>
#include <string_view>

// The system "ANSI code page" of the settings file's encodings: GBK (code
// page 936). The servers' text does not pass through it.
namespace AnsiCodePage {

// UTF-16 to GBK. A character GBK cannot hold becomes '?', as the code
// page's default character does.
std::string FromUnicode(const QString& text);

// GBK to UTF-16. A byte sequence that is not GBK becomes '?'.
QString ToUnicode(std::string_view bytes);

} // namespace AnsiCodePage
