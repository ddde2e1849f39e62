// The reader of "config.ini": a table-driven tokenizer with one character of lookahead,
// statements of the form key = value, and a token stack that carries each value from the
// value reader to the statement reader.
#include "Cinits.h"

#include <cstdint>

namespace {

// A NUL byte is an ordinary character of the file, so "nothing read ahead" needs a mark
// of its own that no byte and not the end of the input can take.
constexpr int32_t NothingAhead = -2;

// The one character read ahead, process-wide: a byte code, EndOfInput or NothingAhead.
// It carries a character from one token to the next; every load starts with nothing read
// ahead.
int32_t lookahead = NothingAhead;

bool IsBlank(int32_t code) {
    return code == ' ' || code == '\t' || code == '\n' || code == '\r';
}

} // namespace

int32_t CInits::ClassOf(int32_t code) const {
    return code >= 0 && code < 256 ? charClass[code] : icOther;
}

// Bytes are taken unsigned, so 0x80 to 0xFF are characters of class icOther (kept as they
// are inside a quoted text) and only the real end of the input gives EndOfInput.
int32_t CInits::ReadChar() {
    int code = std::fgetc(file);
    return code == EOF ? EndOfInput : code;
}

Token CInits::NextToken() {
    Token token;
    token.kind = icOther;
    if (lookahead == NothingAhead) {
        lookahead = ReadChar();
    }
    for (;;) {
        if (lookahead == EndOfInput) {
            lookahead = NothingAhead;
            token.kind = ikEnd;
            return token;
        }
        if (IsBlank(lookahead)) {
            lookahead = ReadChar();
        } else if (lookahead == '#') {
            while (lookahead != '\n' && lookahead != EndOfInput) {
                lookahead = ReadChar();
            }
            if (lookahead == '\n') {
                lookahead = ReadChar();
            }
        } else {
            break;
        }
    }
    switch (ClassOf(lookahead)) {
    case icEqual:
    case icLBracket:
    case icRBracket:
        token.kind = charClass[lookahead];
        lookahead = ReadChar();
        break;
    case icQuote:
        lookahead = ReadChar();
        while (lookahead != EndOfInput && ClassOf(lookahead) != icQuote) {
            token.text += static_cast<char>(lookahead);
            lookahead = ReadChar();
        }
        if (lookahead == EndOfInput) {
            token.kind = ikUnclosed;
        } else {
            token.kind = ikQuoted;
            lookahead = ReadChar();
        }
        break;
    case icDot:
        lookahead = ReadChar();
        if (lookahead == '.') {
            token.kind = ikDotDot;
            lookahead = ReadChar();
        } else {
            token.kind = ikDot;
        }
        break;
    case icLetter:
        while (ClassOf(lookahead) == icLetter || ClassOf(lookahead) == icDigit) {
            token.text += static_cast<char>(lookahead);
            lookahead = ReadChar();
        }
        break;
    case icDigit: {
        // Long digit runs wrap around as signed 32-bit numbers do.
        uint32_t n = 0;
        while (ClassOf(lookahead) == icDigit) {
            n = n * 10u + static_cast<uint32_t>(lookahead - '0');
            lookahead = ReadChar();
        }
        token.kind = ikNumber;
        token.number = static_cast<int32_t>(n);
        break;
    }
    default:
        // An icOther character stays in lookahead and reads as an empty word, which no
        // statement accepts as a key or as a value.
        break;
    }
    if (token.kind == icOther) {
        token.kind = ikWord;
    }
    return token;
}

bool CInits::Load() {
    if (file == nullptr) {
        return false;
    }
    // An earlier load that failed, or a caller of NextToken, may have left a character of
    // another file pending.
    lookahead = NothingAhead;
    current = NextToken();
    while (current.kind != ikEnd) {
        if (!ParseStatement()) {
            return false;
        }
    }
    // A read error is not the end of the file.
    return !std::ferror(file);
}

bool CInits::ParseStatement() {
    // Only a word can begin a statement; anything else ends the load as failed.
    if (current.kind != ikWord) {
        return false;
    }
    std::string key = current.text;
    current = NextToken();
    if (current.kind != ikEqual) {
        return false;
    }
    current = NextToken();
    if (!ParseValue()) {
        return false;
    }
    Item found;
    int32_t index = Lookup(key, found);
    Token value = PopToken();
    if (index >= 0) {
        items[index].value = value.text;
        items[index].number = value.number;
    } else {
        items.push_back(Item{key, value.text, value.number});
    }
    return true;
}

bool CInits::ParseValue() {
    switch (current.kind) {
    case ikWord: {
        // A word names an earlier key whose value and number it copies.
        Item earlier;
        if (Lookup(current.text, earlier) < 0 ||
            !PushToken(ikWord, earlier.value, earlier.number)) {
            return false;
        }
        break;
    }
    case ikNumber:
    case ikQuoted:
        if (!PushToken(current.kind, current.text, current.number)) {
            return false;
        }
        break;
    default:
        // "=", "[", "]", ".", "..", the end of the input or a cut-off quoted text.
        return false;
    }
    current = NextToken();
    return true;
}

bool CInits::PushToken(int32_t kind, const std::string& text, int32_t number) {
    if (stackDepth >= TokenStackSize) {
        return false;
    }
    stack[stackDepth].kind = kind;
    stack[stackDepth].text = text;
    stack[stackDepth].number = number;
    stackDepth++;
    return true;
}

Token CInits::PopToken() {
    if (stackDepth <= 0) {
        return Token();
    }
    stackDepth--;
    return stack[stackDepth];
}
