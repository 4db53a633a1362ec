#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One parameter of a program message unit, classified as IEEE 488.2 program data.
struct SScpiParam
{
    enum class EType { Numeric, Character, String, Block, Expression };
    EType eType = EType::Numeric;
    double dValue = 0.0;       // Numeric
    std::string strSuffix;     // Numeric: unit suffix as sent, e.g. "mV"
    std::string strText;       // Character (as sent), String (unquoted), Block (payload), Expression
    // A string holding "name,#<block>" (the upload form some controllers send):
    // strText is the part before ",#", strBlock the block payload.
    bool bEmbeddedBlock = false;
    std::string strBlock;
};

struct SScpiUnit
{
    bool bAbsolute = false;                 // header started with ':'
    bool bCommon = false;                   // "*XXX" or "&XXX"
    bool bQuery = false;
    std::vector<std::string> lstMnemonics;  // as sent
    std::vector<SScpiParam> lstParams;
};

// Splits one program message (terminator already removed) into units and
// their parameters. Syntax errors are reported per unit as SCPI error codes,
// after which parsing resumes at the next ';' outside strings and blocks.
class CScpiParser
{
public:
    enum class EResult { Unit, Error, End };

    explicit CScpiParser(const std::string& strMessage);

    EResult Next(SScpiUnit& unit, int& nError);

    static bool IsWhiteSpace(unsigned char c) { return c != '\n' && c <= 0x20; }

private:
    int ParseHeader(SScpiUnit& unit);
    int ParseParam(SScpiParam& param);
    int ParseNumber(SScpiParam& param);
    int ParseString(SScpiParam& param);
    int ParseBlock(SScpiParam& param);
    int ParseNonDecimal(SScpiParam& param);
    bool ReadBlockHeader(size_t& nPos, size_t& nPayload) const;
    void SkipWhiteSpace();
    void SkipToUnitEnd();
    bool AtEnd() const { return m_nPos >= m_str.size(); }
    unsigned char Peek() const { return static_cast<unsigned char>(m_str[m_nPos]); }

    const std::string& m_str;
    size_t m_nPos = 0;
};
