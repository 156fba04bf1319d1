// The configurable description of the assembly language: its special
// characters, the character classes every scan uses, the directive keyword
// lists, and the one tokenizer step everything else is built on.
#pragma once

#include <string>
#include <vector>

#include "asmparser/AsmToken.h"
#include "utils/CharFilter.h"

class AsmSyntax {
public:
    char commentChar = '#';
    // Also starts a comment, but only as the first non-blank byte of a line.
    char lineCommentChar = ';';
    char separatorChar = ',';
    char labelEndChar = ':';
    char directiveChar = '.';
    char symbolChar = '$';
    char labelRefChar = '@';
    char openBracketChar = '[';
    char closeBracketChar = ']';
    char caretChar = '^';

    CharFilter singleCharTokens;
    CharFilter delimiters;
    CharFilter commentOrEndOfLine;
    CharFilter directiveValue;
    CharFilter identifier;
    CharFilter identifierStart;
    CharFilter commentText;
    CharFilter symbolReference;
    CharFilter labelName;
    CharFilter labelReference;
    CharFilter caretWord;
    CharFilter mnemonic;
    CharFilter directive;
    CharFilter number;
    CharFilter argument;
    CharFilter firstToken;

    std::vector<std::string> ignoredDirectives;
    std::vector<std::string> symbolDirectives;

    AsmSyntax();

    // Cuts the next token off the front of the remaining text of a line: the
    // longest run of bytes accepted by cls at the first non-blank position,
    // or a single byte of singleCharTokens. The token is changed in place.
    void filter2Token(AsmToken& token, const CharFilter& cls) const;
    // The same, scanning up to the next byte of delimiters.
    void filter2Token(AsmToken& token) const;

private:
    template <bool Accepting> void cut(AsmToken& token, const CharFilter& cls) const;
};
