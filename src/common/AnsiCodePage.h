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

// The first character GBK cannot hold, as the text it takes (a surrogate
// pair is one character); empty when every character fits.
QString FirstUnencodable(const QString& text);

} // namespace AnsiCodePage
