// Finding the editor's visible codes in a stored topic body: an escaped
// opening brace, blanks or control characters, a word of letters and "_",
// and for the translated codes their fixed rest: {keepn} with only blanks and
// line breaks before its escaped closing brace, {HRef=target} with everything
// up to the first closing brace (which must be escaped) as the target. The
// build translates what this finds and the link check reads it, so both see
// the same codes. Works on 16-bit text and on the stored bytes alike.
#pragma once

#include <QtGlobal>

#include <cstring>

struct TopicCode {
    enum Kind { Keepn, HRef, Other };
    Kind kind;
    qsizetype begin;              // the backslash before the opening brace
    qsizetype end;                // Keepn, HRef: past the escaped closing brace
    qsizetype wordBegin, wordEnd; // the code word
    qsizetype argBegin, argEnd;   // HRef: the target; Other: the text after the word up
                                  // to an escaped closing brace (-1, -1 without one)
};

namespace topiccodes {

inline qsizetype find(const uchar* c, qsizetype from, qsizetype n, char what) {
    if (from >= n) return -1;
    const void* at = std::memchr(c + from, what, size_t(n - from));
    return at ? static_cast<const uchar*>(at) - c : -1;
}

inline qsizetype find(const char16_t* c, qsizetype from, qsizetype n, char what) {
    for (; from < n; ++from)
        if (c[from] == char16_t(what)) return from;
    return -1;
}

template <class Unit> bool isWordUnit(Unit c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

template <class Unit> bool isBlankOrBreak(Unit c) {
    return c == ' ' || c == '\r' || c == '\n';
}

// Case-insensitive comparison with an upper-case ASCII word.
template <class Unit> bool sameWord(const Unit* word, qsizetype size, const char* upper) {
    for (qsizetype i = 0; i < size; ++i, ++upper) {
        const Unit c = word[i];
        if (*upper == 0 || Unit(c >= 'a' && c <= 'z' ? c - 32 : c) != Unit(uchar(*upper)))
            return false;
    }
    return *upper == 0;
}

} // namespace topiccodes

// Calls `visit(const TopicCode&)` for each code of the body c[0, n), in order.
// A Keepn or HRef code is passed over as a whole; after any other the search
// goes on right behind its opening brace, as codes left untranslated stay text.
template <class Unit, class Visit> void ScanTopicCodes(const Unit* c, qsizetype n, Visit&& visit) {
    using namespace topiccodes;
    // Codes start with "\{"; an RTF body has far fewer braces than
    // backslashes, so the search goes from brace to brace.
    qsizetype from = 0;
    for (qsizetype brace = find(c, 1, n, '{'); brace >= 0; brace = find(c, brace + 1, n, '{')) {
        const qsizetype at = brace - 1;
        if (at < from || c[at] != '\\') continue;
        from = at + 1;
        TopicCode code{TopicCode::Other, at, at + 2, 0, 0, -1, -1};
        qsizetype q = at + 2;
        while (q < n && c[q] <= 32)
            ++q;
        code.wordBegin = q;
        while (q < n && isWordUnit(c[q]))
            ++q;
        code.wordEnd = q;
        const qsizetype wordSize = q - code.wordBegin;
        if (sameWord(c + code.wordBegin, wordSize, "KEEPN")) {
            while (q < n && isBlankOrBreak(c[q]))
                ++q;
            if (q + 1 < n && c[q] == '\\' && c[q + 1] == '}') {
                code.kind = TopicCode::Keepn;
                code.end = q + 2;
                visit(static_cast<const TopicCode&>(code));
                from = q + 2;
                brace = q + 1;
                continue;
            }
        } else if (sameWord(c + code.wordBegin, wordSize, "HREF")) {
            while (q < n && isBlankOrBreak(c[q]))
                ++q;
            if (q + 1 < n && c[q] == '=') {
                const qsizetype r = find(c, q + 1, n, '}');
                if (r > 0 && c[r - 1] == '\\') {
                    code.kind = TopicCode::HRef;
                    code.argBegin = q + 1;
                    code.argEnd = r - 1;
                    code.end = r + 1;
                    visit(static_cast<const TopicCode&>(code));
                    from = r + 1;
                    brace = r;
                    continue;
                }
            }
        }
        const qsizetype r = find(c, code.wordEnd, n, '}');
        if (r > 0 && c[r - 1] == '\\') {
            code.argBegin = code.wordEnd;
            code.argEnd = r - 1;
            code.end = r + 1;
        }
        visit(static_cast<const TopicCode&>(code));
    }
}
