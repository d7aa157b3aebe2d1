#pragma once

#include <QString>

#include <string>
#include <string_view>

// The design passes text between the window and the servers through the
// system "ANSI code page"; here that code page is GBK (code page 936),
// the character set the MySQL side announces with "set names gbk".
namespace AnsiCodePage {

// UTF-16 to GBK. A character GBK cannot hold becomes '?', as the code
// page's default character does.
std::string FromUnicode(const QString& text);

// GBK to UTF-16. A byte sequence that is not GBK becomes '?'.
QString ToUnicode(std::string_view bytes);

// The round trip the design applies to values on their way to the window:
// characters outside GBK come back as '?'.
QString RoundTrip(const QString& text);

} // namespace AnsiCodePage
