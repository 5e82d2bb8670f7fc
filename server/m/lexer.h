#pragma once

#include <string>
#include <string_view>

namespace veldor::m {

enum class TokenKind
{
    End,
    Space,      // a run of spaces; spaces separate commands and arguments, so they are tokens
    Name,       // %ABC, P0, TOVI
    Number,     // 12, 1.5, .5, 1E3
    String,     // "a""b"
    Dollar,     // $P, $PIECE
    Caret,      // ^
    LeftParen,  // (
    RightParen, // )
    Comma,      // ,
    Equals,     // =
    Colon,      // :
    Plus,       // +
    Minus,      // -
    Star,       // *
    Slash,      // /
    Underscore, // _
    Other,      // any other character; always an error where it appears
};

struct Token final
{
    TokenKind kind = TokenKind::End;
    // Name: the name. Number: its canonical value. String: the value with "" undone.
    // Dollar: the letters after $. Other: the character as written.
    std::string text;
    int column = 0; // 1-based character column of the first byte
    int length = 0; // number of spaces, for Space
};

// How a token reads in an error message.
std::string describe(const Token& token);

// Splits one command line into tokens on demand. Columns count UTF-8 characters, not bytes.
// Throws MError <SYNTAX> on control characters and unterminated strings.
class Lexer final
{
public:
    explicit Lexer(std::string_view line) : line_(line) {}
    Token next();

private:
    char at(std::size_t offset) const { return pos_ + offset < line_.size() ? line_[pos_ + offset] : '\0'; }
    void advance(std::size_t bytes);
    Token single(TokenKind kind);
    Token name();
    Token number();
    Token string();
    Token dollar();

    std::string_view line_;
    std::size_t pos_ = 0;
    int column_ = 1;
};

} // namespace veldor::m
