#include "Btdevice.h"

namespace {

// The character read but not yet consumed: 0 for none, -1 for the end of the text. One
// for the whole process; reaching the end clears it, so every parse starts with none.
int32_t lookahead = 0;

} // namespace

int32_t CBtDevice::NextChar() {
    if (readPosition < 0 || static_cast<size_t>(readPosition) >= receiveBuffer.size()) {
        return -1;
    }
    return static_cast<unsigned char>(receiveBuffer[static_cast<size_t>(readPosition++)]);
}

TOKEN CBtDevice::NextToken() {
    TOKEN token{tkOther, std::string()};
    if (lookahead == 0) {
        lookahead = NextChar();
    }
    if (lookahead == -1) {
        lookahead = 0;
        token.kind = tkEnd;
        return token;
    }
    switch (charClass[lookahead]) {
    case ccCR:
        token.kind = tkCR;
        lookahead = NextChar();
        if (lookahead == '\n') {
            token.kind = tkLineEnd;
            token.text = "\r\n";
            lookahead = NextChar();
        } else {
            token.text = "\r";
        }
        break;
    case ccText:
        while (lookahead != -1 && charClass[lookahead] == ccText) {
            token.text += static_cast<char>(lookahead);
            lookahead = NextChar();
        }
        if (lookahead == ',') {
            lookahead = NextChar();
        }
        token.kind = tkText;
        break;
    default: // a comma after another separator, or a lone LF
        lookahead = NextChar();
        break;
    }
    return token;
}

void CBtDevice::Advance() {
    TOKEN token = NextToken();
    tokenKind = token.kind;
    tokenText = std::move(token.text);
}

// Reads one record. Framed records (CR LF, the fields, CR LF) are read as they stand.
// Beyond that, the parse resynchronises instead of losing what follows a disturbance:
// - a blank line (CR LF straight after the opening one) opens the next record, and a lone
//   CR where a record should start is passed over;
// - a record whose opening CR LF is missing starts at its first field;
// - a line that ends before its third field (two fields, or a record ending in a comma)
//   gives empty missing fields, and its CR LF still closes it.
// Every call consumes at least one token, so the parse always reaches the end.
void CBtDevice::ParseRecord() {
    pending = SLAVE();
    if (tokenKind == tkLineEnd) {
        Advance();
    } else if (tokenKind == tkCR) {
        Advance();
        return;
    }
    if (tokenKind == tkLineEnd || tokenKind == tkCR || tokenKind == tkEnd) {
        return;
    }
    pending.id = tokenText;
    if (tokenText == "OK") {
        Advance();
    } else {
        Advance();
        if (tokenKind != tkLineEnd) {
            pending.name = tokenText;
            Advance();
        }
        if (tokenKind != tkLineEnd) {
            pending.detail = tokenText;
            Advance();
        }
    }
    if (tokenKind == tkLineEnd) {
        found.push_back(pending);
        Advance();
        return;
    }
    // More than three fields, or fields followed by the end: skip the line with its CR LF.
    while (tokenKind != tkLineEnd && tokenKind != tkEnd) {
        Advance();
    }
    Advance();
}

void CBtDevice::ParseResult() {
    lookahead = 0;
    readPosition = 0;
    Advance();
    found.clear();
    while (tokenKind != tkEnd) {
        ParseRecord();
    }
}
