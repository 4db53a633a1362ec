#pragma once

#include <QString>

#include <cstdint>

// The counter's rules, apart from its window: what text an answer makes, and
// how many separators a text holds.
class CValueCounter
{
public:
    // The answer's bytes as Latin-1 text. The console's reply buffer has no
    // NUL after a failed or partial read, so the text ends at nLength bytes,
    // or earlier at a NUL among them. A null answer is empty text.
    static QString AnswerText(const char* pAnswer, std::int32_t nLength);

    // How often the separator's first character occurs in strText; an empty
    // separator counts nothing. It counts separators, not values: "1,2,3" is 2.
    static qsizetype CountSeparators(const QString& strText, const QString& strSeparator);
};
