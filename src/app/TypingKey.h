#pragma once

class QKeyEvent;

// Whether a key press in the server box counts as typing a server: a letter
// or digit key of the main keyboard, or a digit of the numeric keypad. The
// main keys count by where they sit, not by what the layout makes of them,
// so a Cyrillic or Greek letter and Shift with a digit count as well. Alt
// with a key is a button's mnemonic, not typing.
// keycodesByPlace: the platform's native scan codes are XKB keycodes, which
// name the key's place (X11 and Wayland do this).
bool IsServerTypingKey(const QKeyEvent& key, bool keycodesByPlace);
bool PlatformKeycodesByPlace();
