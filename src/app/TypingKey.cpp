#include "app/TypingKey.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace {

// X and Wayland report the XKB keycode (the evdev code + 8) of the key, the
// same for every layout: the digit row 1 to 0 and the three letter rows.
bool IsLetterOrDigitKeycode(quint32 code)
{
    return (code >= 10 && code <= 19) || (code >= 24 && code <= 33) || (code >= 38 && code <= 46)
        || (code >= 52 && code <= 58);
}

} // namespace

bool PlatformKeycodesByPlace()
{
    const QString platform = QGuiApplication::platformName();
    return platform == u"xcb" || platform.startsWith(u"wayland");
}

bool IsServerTypingKey(const QKeyEvent& key, bool keycodesByPlace)
{
    if (key.modifiers() & Qt::AltModifier)
        return false;
    const int code = key.key();
    const bool digit = code >= Qt::Key_0 && code <= Qt::Key_9;
    // A keypad key is a digit only while Num Lock makes it one.
    if (key.modifiers() & Qt::KeypadModifier)
        return digit;
    if (key.nativeScanCode() != 0 && keycodesByPlace)
        return IsLetterOrDigitKeycode(key.nativeScanCode());
    return digit || (code >= Qt::Key_A && code <= Qt::Key_Z);
}
