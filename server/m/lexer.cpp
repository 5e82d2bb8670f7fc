#include "lexer.h"

#include "bounds.h"
#include "merror.h"
#include "number.h"

namespace veldor::m {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAlpha(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// Bytes 10xxxxxx continue a UTF-8 character and take no column of their own.
bool isContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

[[noreturn]] void controlCharacter(char c, int column)
{
    throw MError(ErrorKind::Syntax, column,
                 "control character $C(" + std::to_string(static_cast<unsigned char>(c)) + ")");
}

} // namespace

std::string describe(const Token& token)
{
    switch (token.kind) {
    case TokenKind::End:
        return "end of line";
    case TokenKind::Space:
        return "space";
    case TokenKind::String:
        return "string";
    case TokenKind::Dollar:
        return "'$" + token.text + "'";
    default:
        return "'" + token.text + "'";
    }
}

void Lexer::advance(std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes && pos_ < line_.size(); ++i, ++pos_) {
        if (!isContinuation(line_[pos_])) {
            ++column_;
        }
    }
}

Token Lexer::next()
{
    if (pos_ >= line_.size()) {
        return Token{TokenKind::End, "", column_, 0};
    }
    const char c = line_[pos_];
    if (isControl(c)) {
        controlCharacter(c, column_);
    }
    if (c == ' ') {
        Token token{TokenKind::Space, " ", column_, 0};
        while (at(0) == ' ') {
            ++token.length;
            advance(1);
        }
        return token;
    }
    if (isAlpha(c) || c == '%') {
        return name();
    }
    if (isDigit(c) || (c == '.' && isDigit(at(1)))) {
        return number();
    }
    switch (c) {
    case '"':
        return string();
    case '$':
        return dollar();
    case '^':
        return single(TokenKind::Caret);
    case '(':
        return single(TokenKind::LeftParen);
    case ')':
        return single(TokenKind::RightParen);
    case ',':
        return single(TokenKind::Comma);
    case '=':
        return single(TokenKind::Equals);
    case ':':
        return single(TokenKind::Colon);
    case '+':
        return single(TokenKind::Plus);
    case '-':
        return single(TokenKind::Minus);
    case '*':
        return single(TokenKind::Star);
    case '/':
        return single(TokenKind::Slash);
    case '_':
        return single(TokenKind::Underscore);
    default:
        break;
    }
    // Keep a multi-byte character whole so the message shows it readably.
    std::size_t length = 1;
    while (pos_ + length < line_.size() && isContinuation(line_[pos_ + length])) {
        ++length;
    }
    Token token{TokenKind::Other, std::string(line_.substr(pos_, length)), column_, 0};
    advance(length);
    return token;
}

Token Lexer::single(TokenKind kind)
{
    Token token{kind, std::string(1, line_[pos_]), column_, 0};
    advance(1);
    return token;
}

Token Lexer::name()
{
    std::size_t length = 1;
    while (isAlpha(at(length)) || isDigit(at(length))) {
        ++length;
    }
    checkNameLength(length, column_);
    Token token{TokenKind::Name, std::string(line_.substr(pos_, length)), column_, 0};
    advance(length);
    return token;
}

// mant [exp] with mant = digits [. digits] | . digits and exp = E [+|-] digits. Whatever
// follows (a letter in 12AB34, a second point) is left for the parser to reject.
Token Lexer::number()
{
    std::size_t length = 0;
    while (isDigit(at(length))) {
        ++length;
    }
    if (at(length) == '.' && isDigit(at(length + 1))) {
        ++length;
        while (isDigit(at(length))) {
            ++length;
        }
    }
    if (at(length) == 'E') {
        std::size_t e = length + 1;
        if (at(e) == '+' || at(e) == '-') {
            ++e;
        }
        if (isDigit(at(e))) {
            while (isDigit(at(e))) {
                ++e;
            }
            length = e;
        }
    }
    const auto value = Number::fromString(line_.substr(pos_, length));
    checkNumberRange(value.has_value(), column_);
    Token token{TokenKind::Number, value->toString(), column_, 0};
    advance(length);
    return token;
}

Token Lexer::string()
{
    Token token{TokenKind::String, "", column_, 0};
    advance(1);
    for (;;) {
        if (pos_ >= line_.size()) {
            throw MError(ErrorKind::Syntax, token.column, "unterminated string");
        }
        const char c = line_[pos_];
        if (isControl(c)) {
            controlCharacter(c, column_);
        }
        if (c == '"') {
            if (at(1) != '"') {
                advance(1);
                break;
            }
            advance(1); // "" stands for one quote
        }
        token.text += c;
        advance(1);
    }
    checkStringLength(token.text.size(), token.column);
    return token;
}

Token Lexer::dollar()
{
    Token token{TokenKind::Dollar, "", column_, 0};
    advance(1);
    std::size_t length = 0;
    while (isAlpha(at(length))) {
        ++length;
    }
    token.text = std::string(line_.substr(pos_, length));
    advance(length);
    return token;
}

} // namespace veldor::m
