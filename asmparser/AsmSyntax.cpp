#include "asmparser/AsmSyntax.h"

namespace {

CharFilter single(char c) {
    CharFilter f;
    f.include(std::string(1, c));
    return f;
}

} // namespace

AsmSyntax::AsmSyntax() {
    // Fixed values: a label's ':' must come out alone whatever the class.
    singleCharTokens.include("[]:");
    delimiters = CharFilters::isSpace;
    delimiters.include(":;,<>/?|\\[]{}()+=&");
    commentOrEndOfLine = CharFilters::isEndOfLine | single(commentChar);
    directiveValue = commentOrEndOfLine;
    directiveValue.invert();
    identifierStart = CharFilters::isAlpha | single('_');
    identifier = identifierStart | CharFilters::isAlnum;
    commentText = CharFilters::isEndOfLine;
    commentText.invert();
    symbolReference = single(symbolChar) | identifier;
    labelName = identifier;
    labelReference = single(labelRefChar) | identifier;
    caretWord = CharFilters::isAlnum | single('_') | single(caretChar);
    mnemonic = identifier;
    directive = single(directiveChar) | identifier;
    number = CharFilters::isDigit | CharFilters::isXDigit;
    argument = CharFilters::isAlnum | symbolReference | labelReference;
    firstToken = identifier | mnemonic | directive | labelName | caretWord;

    ignoredDirectives.push_back("");
    symbolDirectives.push_back(".DEF");
}

template <bool Accepting> void AsmSyntax::cut(AsmToken& token, const CharFilter& cls) const {
    token.stripFront();
    if (!token.line)
        return;
    const std::string& text = token.line->text;
    size_t len = text.size();
    if (token.start >= len)
        return;
    size_t pos = token.start;
    if (singleCharTokens.accept(text[pos])) {
        token.end = pos + 1;
        return;
    }
    while (pos < len && cls.accept(text[pos]) == Accepting)
        ++pos;
    token.end = pos;
}

void AsmSyntax::filter2Token(AsmToken& token, const CharFilter& cls) const {
    cut<true>(token, cls);
}

void AsmSyntax::filter2Token(AsmToken& token) const {
    cut<false>(token, delimiters);
}
