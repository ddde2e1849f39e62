// The reader: statements, values, comments, failures and odd bytes, checked through the
// entries a load leaves and its result.
#include "ConfigTestSupport.h"

#include <climits>

namespace {

struct ReadCase {
    const char* name;
    std::string text;
    bool loaded;
    std::vector<Item> entries;
};

const ReadCase ReadCases[] = {
    {"empty file", "", true, {}},
    {"blanks only", " \t\r\n\n", true, {}},
    {"two statements on one line", "a=\"x\" b=\"y\"", true, {{"a", "x", 0}, {"b", "y", 0}}},
    {"blanks around equals, statement over lines", "a \n=\n\t\"x\"\n", true, {{"a", "x", 0}}},
    {"CR LF line ends", "a=\"x\"\r\nb=1\r\n", true, {{"a", "x", 0}, {"b", "", 1}}},
    {"comments everywhere",
     "# head\n#second\n\n   a=\"x\"#note\n  # indented\nb # between\n= # again\n2 # last",
     true,
     {{"a", "x", 0}, {"b", "", 2}}},
    {"comment on last line without line feed", "a=1\n#end", true, {{"a", "", 1}}},
    {"quoted text over lines", "a=\"x\ny\"", true, {{"a", "x\ny", 0}}},
    {"empty quoted text", "a=\"\"", true, {{"a", "", 0}}},
    {"quoted text keeps marks and blanks", "a=\" #x = _y \"", true, {{"a", " #x = _y ", 0}}},
    {"key given twice keeps its place", "a=\"x\" b=\"y\" a=5", true, {{"a", "", 5}, {"b", "y", 0}}},
    {"reference copies value and number",
     "a=\"x\" b=a t=25 u=t",
     true,
     {{"a", "x", 0}, {"b", "x", 0}, {"t", "", 25}, {"u", "", 25}}},
    {"reference to a later key fails", "b=c c=\"x\"", false, {}},
    {"entries before a failure stay", "a=\"x\" b=c d=\"y\"", false, {{"a", "x", 0}}},
    {"leading zeros", "time=007", true, {{"time", "", 7}}},
    {"digits then letters begin a new statement", "time=25ms", false, {{"time", "", 25}}},
    {"the word after digits may be a key",
     "time=25ms=\"x\"",
     true,
     {{"time", "", 25}, {"ms", "x", 0}}},
    {"keys with digits", "usb2=\"x\" a1b2=3", true, {{"usb2", "x", 0}, {"a1b2", "", 3}}},
    {"underscore stops the load", "a=\"x\" us_b=\"y\"", false, {{"a", "x", 0}}},
    {"hyphen stops the load", "use-x=\"y\"", false, {}},
    {"keys and values are case-sensitive",
     "Debug=\"on\" debug=\"On\"",
     true,
     {{"Debug", "on", 0}, {"debug", "On", 0}}},
    {"unquoted word naming no key", "wait=on", false, {}},
    {"number at the signed limit", "n=2147483647", true, {{"n", "", INT_MAX}}},
    {"numbers wrap as signed 32-bit",
     "a=2147483648 b=4294967297 c=99999999999",
     true,
     {{"a", "", INT_MIN}, {"b", "", 1}, {"c", "", 1215752191}}},
    {"statement beginning with a quoted text", "a=1 \"x\"=\"y\"", false, {{"a", "", 1}}},
    {"statement beginning with a number", "5=3", false, {}},
    {"statement beginning with equals", "=1", false, {}},
    {"section header", "a=1\n[main]\nb=2", false, {{"a", "", 1}}},
    {"statement beginning with dots", ". .. a=1", false, {}},
    {"key without equals", "a \"x\"", false, {}},
    {"two keys in a row", "a b=\"x\"", false, {}},
    {"key alone at the end", "a=1 b", false, {{"a", "", 1}}},
    {"end of input after equals", "a=1 b=", false, {{"a", "", 1}}},
    {"equals as value", "a==1", false, {}},
    {"bracket as value", "a=[", false, {}},
    {"dot as value", "a=.5", false, {}},
    {"dot dot as value", "a=..", false, {}},
    {"other mark as value", "a=;", false, {}},
    {"other mark between statements", "a=1;b=2", false, {{"a", "", 1}}},
    {"quoted text cut off by the end", "a=\"x", false, {}},
    {"statement of a cut-off quoted text", "a=\"x\" \"y", false, {{"a", "x", 0}}},
    {"NUL outside quotes stops the load", std::string("a=1\0b=2", 7), false, {{"a", "", 1}}},
    {"NUL first in the file", std::string("\0a=1", 4), false, {}},
    {"NUL kept inside quotes",
     std::string("a=\"x\0y\" b=2", 11),
     true,
     {{"a", std::string("x\0y", 3), 0}, {"b", "", 2}}},
    {"high bytes kept inside quotes",
     "a=\"\xff\xfe\x80\" b=2",
     true,
     {{"a", "\xff\xfe\x80", 0}, {"b", "", 2}}},
    {"0xFF outside quotes is no end of input", "a=1\xff b=2", false, {{"a", "", 1}}},
    {"high byte in a key", "k\xe9y=1", false, {}},
};

class ReadCaseTest : public ConfigDirTest {};

TEST_F(ReadCaseTest, EveryCase) {
    for (const ReadCase& c : ReadCases) {
        SCOPED_TRACE(c.name);
        CInits config;
        EXPECT_EQ(LoadText(config, c.text), c.loaded);
        EXPECT_EQ(config.items, c.entries);
        EXPECT_EQ(config.stackDepth, 0);
    }
}

TEST_F(ReadCaseTest, LoadThatEndsLeavesEndTokenAndEmptyStack) {
    CInits config;
    ASSERT_TRUE(LoadText(config, "a=1 b=\"x\"\n"));
    EXPECT_EQ(config.current.kind, ikEnd);
    EXPECT_EQ(config.stackDepth, 0);
}

// The character a failed load stopped at must not leak into the next load.
TEST_F(ReadCaseTest, FailedLoadLeavesNothingPendingForTheNext) {
    CInits first;
    ASSERT_FALSE(LoadText(first, "a=1_"));
    CInits second;
    EXPECT_TRUE(LoadText(second, "b=2"));
    EXPECT_EQ(second.items, (std::vector<Item>{{"b", "", 2}}));
}

TEST_F(ReadCaseTest, TokenKindsAndTexts) {
    WriteFile("config.ini", "= [ ] . .. 0042 ab1 \"q r\" ; #c\n");
    CInits config;
    config.Open("config.ini");
    const Token expected[] = {
        {ikEqual, "", 0},  {ikLBracket, "", 0}, {ikRBracket, "", 0}, {ikDot, "", 0},
        {ikDotDot, "", 0}, {ikNumber, "", 42},  {ikWord, "ab1", 0},  {ikQuoted, "q r", 0},
        {ikWord, "", 0},   {ikWord, "", 0}, // a mark of class icOther is never consumed
    };
    for (const Token& want : expected) {
        Token got = config.NextToken();
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.number, want.number);
    }
}

TEST(CharClass, EveryCode) {
    CInits config;
    for (int32_t code = 0; code < 256; code++) {
        int32_t want = icOther;
        if ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z')) {
            want = icLetter;
        } else if (code >= '0' && code <= '9') {
            want = icDigit;
        } else if (code == '"' || code == '.' || code == '=' || code == '[' || code == ']') {
            want = code;
        }
        EXPECT_EQ(config.charClass[code], want) << "code " << code;
    }
}

TEST(TokenStack, HoldsAHundredAndRefusesMore) {
    CInits config;
    for (int32_t i = 0; i < TokenStackSize; i++) {
        EXPECT_TRUE(config.PushToken(ikNumber, std::to_string(i), i));
    }
    EXPECT_FALSE(config.PushToken(ikNumber, "over", -1));
    EXPECT_EQ(config.stackDepth, TokenStackSize);
    for (int32_t i = TokenStackSize - 1; i >= 0; i--) {
        Token top = config.PopToken();
        EXPECT_EQ(top.number, i);
        EXPECT_EQ(top.text, std::to_string(i));
    }
    Token none = config.PopToken();
    EXPECT_EQ(none.kind, ikEnd);
    EXPECT_EQ(config.stackDepth, 0);
}

} // namespace
