#pragma once

#include <QString>

namespace session {

// The n-th field (from 1) of text split at a one-character delimiter; def for an empty field.
QString GetPiece(const QString& text, const QString& delimiter, int n, const QString& def = {});

// The reversible transform of the stored password: each character's Windows-1252 code combined
// with one fixed key byte. Raises an error for a character outside Windows-1252.
QString ScramblePassword(const QString& text);
inline constexpr unsigned char ScrambleKey = 0x1F; // a control character: no typed letter turns into 0

// A value as it may stand in a line of server code: digits only (or nothing) as it is, anything
// else as a string literal with its quotes doubled, so no value can add code of its own.
QString MValue(const QString& value);
// Text for inside an M string literal: each double quote doubled.
QString MQuoted(const QString& text);

} // namespace session
