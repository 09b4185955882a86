#pragma once
// The one rule for text that comes from outside the program - a server's
// answer, a password challenge's realm, a file or folder name, a value of the
// settings file - on its way to a message box, a dialog, the accessibility
// bus or speech. GTK and libdbus take only UTF-8: an accessibility client
// reading a label that is not UTF-8 makes libdbus abort the whole game, and a
// control character in it is at best noise to a screen reader. So such text
// is passed through DisplayText where it enters, and every string the game
// shows is valid UTF-8 without control characters.
//
// The bytes are read as:
//   1. UTF-8, when they are well-formed UTF-8 (shortest forms only, no
//      encoded surrogate, nothing past U+10FFFF);
//   2. otherwise code page 932 (Shift-JIS as Japanese Windows writes it), when
//      every byte belongs to one of its characters: a ranking server on a
//      Japanese system answers in it, and the ranking server reads names the
//      same way;
//   3. otherwise UTF-8 again, each byte that starts no well-formed character
//      replaced by U+FFFD, so Latin-1 text keeps its ASCII letters.
// Then the control characters go (IsControlCharacter), except the ones that
// carry the text's layout: the line feed (the answer's and the messages' line
// break), a carriage return directly before a line feed (the answer ends each
// line with CR LF) and the tab. NUL goes too: it would end the text early in
// every C interface below.
#include <string>
#include <string_view>

std::string DisplayText(std::string_view bytes);

// Appends the code point (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::string& text, char32_t code);

// C0 (U+0000-U+001F), DEL (U+007F) and C1 (U+0080-U+009F).
bool IsControlCharacter(char32_t code);
