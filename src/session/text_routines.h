#pragma once

#include <QString>

namespace session {

// The n-th field (from 1) of text split at a one-character delimiter; def for an empty field and for
// n below 1.
QString GetPiece(const QString& text, const QString& delimiter, int n, const QString& def = {});

// Whether text reads as a number the way the classic BASIC runtime reads one: blanks around it, an
// optional sign, digits with at most one decimal point ("." or ","), an optional exponent (E or D);
// or "&H" with hex digits, "&O" with octal digits. "nan", "inf" and the like are not numbers, nor is
// an overflow (beyond a double, or beyond 32 bits after "&H" or "&O").
bool IsNumeric(const QString& text);

// The arguments of a Windows command line, as the runtime hands them to the program: the program
// name skipped (quoted or not) with the blanks after it, the rest exactly as typed.
QString textAfterProgramName(const QString& rawCommandLine);

// The reversible transform of the stored password: each character's Windows-1252 code combined
// with one fixed key byte. Raises an error for a character outside Windows-1252.
QString ScramblePassword(const QString& text);
inline constexpr unsigned char ScrambleKey = 0x1F; // a control character: no typed letter turns into 0

// A value as it may stand in a line of server code: digits as they are, anything else (nothing, too)
// as a string literal with its quotes doubled, so no value can add code of its own.
QString MValue(const QString& value);
// Text for inside an M string literal: each double quote doubled.
QString MQuoted(const QString& text);

} // namespace session
