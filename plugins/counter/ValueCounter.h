#pragma once

#include <QLatin1String>
#include <QString>

#include <cstdint>

// The counter's rules, apart from its window: what text an answer makes, and
// how many separators a text holds.
class CValueCounter
{
public:
    // The most characters the text box takes from an answer, the limit of
    // the platform's edit control: showing 50 MB would freeze the window for
    // many seconds, and 2 GiB would not fit into memory as text.
    static constexpr qsizetype kTextLimit = 32767;

    // The answer's bytes as Latin-1 text. The console's reply buffer has no
    // NUL after a failed or partial read, so the text ends at nLength bytes,
    // or earlier at a NUL among them. A null answer is empty text.
    static QLatin1String AnswerText(const char* pAnswer, std::int32_t nLength);

    // How often the separator's first character occurs in the text; an empty
    // separator counts nothing. It counts separators, not values: "1,2,3" is 2.
    static qsizetype CountSeparators(const QString& strText, const QString& strSeparator);
    // The same over an answer, without widening it first.
    static qsizetype CountSeparators(QLatin1String text, const QString& strSeparator);
};
