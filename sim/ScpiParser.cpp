#include "ScpiParser.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

const size_t kMaxMnemonic = 12;
const size_t kMaxDigits = 255;

bool IsAlpha(unsigned char c) { return std::isalpha(c) != 0; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

} // namespace

CScpiParser::CScpiParser(const std::string& strMessage) : m_str(strMessage) {}

void CScpiParser::SkipWhiteSpace()
{
    while (!AtEnd() && IsWhiteSpace(Peek()))
        ++m_nPos;
}

// Reads "#<d><d digits>" at nPos; on success nPos points at the payload.
bool CScpiParser::ReadBlockHeader(size_t& nPos, size_t& nPayload) const
{
    if (nPos + 1 >= m_str.size() || m_str[nPos] != '#')
        return false;
    const unsigned char cDigits = static_cast<unsigned char>(m_str[nPos + 1]);
    if (cDigits < '1' || cDigits > '9')
        return false;
    const size_t nDigits = cDigits - '0';
    if (nPos + 2 + nDigits > m_str.size())
        return false;
    size_t nLen = 0;
    for (size_t i = 0; i < nDigits; ++i) {
        const unsigned char c = static_cast<unsigned char>(m_str[nPos + 2 + i]);
        if (!IsDigit(c))
            return false;
        nLen = nLen * 10 + (c - '0');
    }
    if (nPos + 2 + nDigits + nLen > m_str.size())
        return false;
    nPos += 2 + nDigits;
    nPayload = nLen;
    return true;
}

// Error recovery: continue after the next ';' that is not inside a string or block.
void CScpiParser::SkipToUnitEnd()
{
    while (!AtEnd()) {
        const unsigned char c = Peek();
        if (c == ';') {
            ++m_nPos;
            return;
        }
        if (c == '"' || c == '\'') {
            ++m_nPos;
            while (!AtEnd() && static_cast<unsigned char>(m_str[m_nPos]) != c) {
                size_t nPayload = 0;
                size_t nAt = m_nPos + 1;
                if (m_str[m_nPos] == ',' && ReadBlockHeader(nAt, nPayload))
                    m_nPos = nAt + nPayload;
                else
                    ++m_nPos;
            }
            if (!AtEnd())
                ++m_nPos;
            continue;
        }
        if (c == '#') {
            size_t nAt = m_nPos;
            size_t nPayload = 0;
            if (ReadBlockHeader(nAt, nPayload)) {
                m_nPos = nAt + nPayload;
                continue;
            }
            if (m_nPos + 1 < m_str.size() && m_str[m_nPos + 1] == '0') {
                m_nPos = m_str.size();
                return;
            }
        }
        ++m_nPos;
    }
}

CScpiParser::EResult CScpiParser::Next(SScpiUnit& unit, int& nError)
{
    unit = SScpiUnit();
    nError = 0;
    for (;;) {
        SkipWhiteSpace();
        if (AtEnd())
            return EResult::End;
        if (Peek() != ';')
            break;
        // An empty unit (";;" or a leading ';') carries nothing to execute.
        ++m_nPos;
    }

    nError = ParseHeader(unit);
    if (nError == 0) {
        SkipWhiteSpace();
        while (!AtEnd() && Peek() != ';') {
            SScpiParam param;
            nError = ParseParam(param);
            if (nError != 0)
                break;
            unit.lstParams.push_back(std::move(param));
            SkipWhiteSpace();
            if (AtEnd() || Peek() == ';')
                break;
            if (Peek() != ',') {
                nError = -103;
                break;
            }
            ++m_nPos;
            SkipWhiteSpace();
            if (AtEnd() || Peek() == ';') {
                nError = -109;
                break;
            }
        }
    }
    if (nError != 0) {
        SkipToUnitEnd();
        return EResult::Error;
    }
    if (!AtEnd())
        ++m_nPos; // the ';'
    return EResult::Unit;
}

int CScpiParser::ParseHeader(SScpiUnit& unit)
{
    if (Peek() == ':') {
        unit.bAbsolute = true;
        ++m_nPos;
    }
    if (!AtEnd() && (Peek() == '*' || Peek() == '&')) {
        if (unit.bAbsolute)
            return -102;
        unit.bCommon = true;
        std::string strMnemonic(1, static_cast<char>(Peek()));
        ++m_nPos;
        while (!AtEnd() && IsAlpha(Peek()))
            strMnemonic += static_cast<char>(m_str[m_nPos++]);
        if (strMnemonic.size() == 1)
            return -102;
        unit.lstMnemonics.push_back(strMnemonic);
    } else {
        for (;;) {
            if (AtEnd() || !IsAlpha(Peek()))
                return AtEnd() || std::isprint(Peek()) ? -102 : -101;
            std::string strMnemonic;
            while (!AtEnd() && (IsAlpha(Peek()) || IsDigit(Peek()) || Peek() == '_'))
                strMnemonic += static_cast<char>(m_str[m_nPos++]);
            if (strMnemonic.size() > kMaxMnemonic)
                return -112;
            unit.lstMnemonics.push_back(strMnemonic);
            if (AtEnd() || Peek() != ':')
                break;
            ++m_nPos;
        }
    }
    if (!AtEnd() && Peek() == '?') {
        unit.bQuery = true;
        ++m_nPos;
    }
    if (AtEnd() || Peek() == ';' || IsWhiteSpace(Peek()))
        return 0;
    return std::isprint(Peek()) ? -111 : -101;
}

int CScpiParser::ParseParam(SScpiParam& param)
{
    const unsigned char c = Peek();
    if (c == '"' || c == '\'')
        return ParseString(param);
    if (c == '#') {
        if (m_nPos + 1 < m_str.size()) {
            const unsigned char cNext = static_cast<unsigned char>(std::toupper(m_str[m_nPos + 1]));
            if (cNext == 'H' || cNext == 'Q' || cNext == 'B')
                return ParseNonDecimal(param);
        }
        return ParseBlock(param);
    }
    if (IsDigit(c) || c == '+' || c == '-' || c == '.')
        return ParseNumber(param);
    if (IsAlpha(c)) {
        param.eType = SScpiParam::EType::Character;
        while (!AtEnd() && (IsAlpha(Peek()) || IsDigit(Peek()) || Peek() == '_'))
            param.strText += static_cast<char>(m_str[m_nPos++]);
        if (param.strText.size() > kMaxMnemonic)
            return -144;
        return 0;
    }
    if (c == '(') {
        param.eType = SScpiParam::EType::Expression;
        int nDepth = 0;
        while (!AtEnd()) {
            const char ch = m_str[m_nPos++];
            param.strText += ch;
            if (ch == '(')
                ++nDepth;
            else if (ch == ')' && --nDepth == 0)
                return 0;
        }
        return -171; // unbalanced expression
    }
    return std::isprint(c) ? -102 : -101;
}

int CScpiParser::ParseNumber(SScpiParam& param)
{
    param.eType = SScpiParam::EType::Numeric;
    std::string strNumber;
    size_t nDigits = 0;
    if (Peek() == '+' || Peek() == '-')
        strNumber += static_cast<char>(m_str[m_nPos++]);
    while (!AtEnd() && IsDigit(Peek())) {
        strNumber += static_cast<char>(m_str[m_nPos++]);
        ++nDigits;
    }
    if (!AtEnd() && Peek() == '.') {
        strNumber += static_cast<char>(m_str[m_nPos++]);
        while (!AtEnd() && IsDigit(Peek())) {
            strNumber += static_cast<char>(m_str[m_nPos++]);
            ++nDigits;
        }
    }
    if (nDigits == 0)
        return -121;
    if (nDigits > kMaxDigits)
        return -124;

    // The exponent may be separated from the mantissa by white space; only
    // commit to it once a digit follows, otherwise "E" starts no exponent.
    size_t nSave = m_nPos;
    SkipWhiteSpace();
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
        size_t nExpPos = m_nPos + 1;
        while (nExpPos < m_str.size() && IsWhiteSpace(static_cast<unsigned char>(m_str[nExpPos])))
            ++nExpPos;
        std::string strExp;
        if (nExpPos < m_str.size() && (m_str[nExpPos] == '+' || m_str[nExpPos] == '-'))
            strExp += m_str[nExpPos++];
        size_t nExpDigits = 0;
        while (nExpPos < m_str.size() && IsDigit(static_cast<unsigned char>(m_str[nExpPos]))) {
            strExp += m_str[nExpPos++];
            ++nExpDigits;
        }
        if (nExpDigits > 0) {
            if (nExpDigits > 4 || std::abs(std::atoi(strExp.c_str())) > 300)
                return -123;
            strNumber += 'e' + strExp;
            m_nPos = nExpPos;
            nSave = m_nPos;
        }
    }
    m_nPos = nSave;
    param.dValue = std::strtod(strNumber.c_str(), nullptr);
    if (!std::isfinite(param.dValue))
        return -123;

    size_t nSuffixPos = m_nPos;
    while (nSuffixPos < m_str.size() && IsWhiteSpace(static_cast<unsigned char>(m_str[nSuffixPos])))
        ++nSuffixPos;
    if (nSuffixPos < m_str.size() && (IsAlpha(static_cast<unsigned char>(m_str[nSuffixPos])) || m_str[nSuffixPos] == '/')) {
        m_nPos = nSuffixPos;
        while (!AtEnd() && (IsAlpha(Peek()) || Peek() == '/' || IsDigit(Peek())))
            param.strSuffix += static_cast<char>(m_str[m_nPos++]);
        if (param.strSuffix.size() > kMaxMnemonic)
            return -134;
    }
    if (!AtEnd() && !IsWhiteSpace(Peek()) && Peek() != ',' && Peek() != ';')
        return -121;
    return 0;
}

int CScpiParser::ParseNonDecimal(SScpiParam& param)
{
    param.eType = SScpiParam::EType::Numeric;
    const char cBase = static_cast<char>(std::toupper(m_str[m_nPos + 1]));
    const int nBase = cBase == 'H' ? 16 : cBase == 'Q' ? 8 : 2;
    m_nPos += 2;
    double dValue = 0;
    size_t nDigits = 0;
    while (!AtEnd()) {
        const int c = std::toupper(Peek());
        int nDigit = IsDigit(static_cast<unsigned char>(c)) ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
        if (nDigit >= nBase)
            break;
        dValue = dValue * nBase + nDigit;
        ++nDigits;
        ++m_nPos;
    }
    if (nDigits == 0 || (!AtEnd() && !IsWhiteSpace(Peek()) && Peek() != ',' && Peek() != ';'))
        return -121;
    param.dValue = dValue;
    return 0;
}

int CScpiParser::ParseString(SScpiParam& param)
{
    param.eType = SScpiParam::EType::String;
    const char cQuote = m_str[m_nPos++];
    for (;;) {
        if (AtEnd())
            return -151; // unterminated string
        const char c = m_str[m_nPos];
        if (c == cQuote) {
            if (m_nPos + 1 < m_str.size() && m_str[m_nPos + 1] == cQuote) {
                param.strText += c;
                m_nPos += 2;
                continue;
            }
            ++m_nPos;
            return 0;
        }
        size_t nAt = m_nPos + 1;
        size_t nPayload = 0;
        if (c == ',' && !param.bEmbeddedBlock && ReadBlockHeader(nAt, nPayload)) {
            // The payload may hold quotes and LF: take exactly the declared length.
            param.bEmbeddedBlock = true;
            param.strBlock.assign(m_str, nAt, nPayload);
            m_nPos = nAt + nPayload;
            continue;
        }
        if (!param.bEmbeddedBlock)
            param.strText += c;
        else if (!IsWhiteSpace(static_cast<unsigned char>(c)))
            return -151; // nothing but the closing quote may follow the block
        ++m_nPos;
    }
}

int CScpiParser::ParseBlock(SScpiParam& param)
{
    param.eType = SScpiParam::EType::Block;
    if (m_nPos + 1 < m_str.size() && m_str[m_nPos + 1] == '0') {
        // Indefinite length: everything up to the end of the message.
        param.strText.assign(m_str, m_nPos + 2, std::string::npos);
        m_nPos = m_str.size();
        return 0;
    }
    size_t nAt = m_nPos;
    size_t nPayload = 0;
    if (!ReadBlockHeader(nAt, nPayload))
        return -161;
    param.strText.assign(m_str, nAt, nPayload);
    m_nPos = nAt + nPayload;
    return 0;
}
