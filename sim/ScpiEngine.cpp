#include "ScpiEngine.h"

#include "InstrumentState.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace {

std::string Upper(const std::string& str)
{
    std::string strOut(str);
    for (char& c : strOut)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return strOut;
}

struct SErrorText
{
    int nCode;
    const char* pszText;
};

const SErrorText kErrorTexts[] = {
    {0, "No error"},
    {-100, "Command error"}, {-101, "Invalid character"}, {-102, "Syntax error"},
    {-103, "Invalid separator"}, {-104, "Data type error"}, {-105, "GET not allowed"},
    {-108, "Parameter not allowed"}, {-109, "Missing parameter"}, {-110, "Command header error"},
    {-111, "Header separator error"}, {-112, "Program mnemonic too long"},
    {-113, "Undefined header"}, {-114, "Header suffix out of range"},
    {-115, "Unexpected number of parameters"}, {-120, "Numeric data error"},
    {-121, "Invalid character in number"}, {-123, "Exponent too large"},
    {-124, "Too many digits"}, {-128, "Numeric data not allowed"}, {-130, "Suffix error"},
    {-131, "Invalid suffix"}, {-134, "Suffix too long"}, {-138, "Suffix not allowed"},
    {-140, "Character data error"}, {-141, "Invalid character data"},
    {-144, "Character data too long"}, {-148, "Character data not allowed"},
    {-150, "String data error"}, {-151, "Invalid string data"}, {-158, "String data not allowed"},
    {-160, "Block data error"}, {-161, "Invalid block data"}, {-168, "Block data not allowed"},
    {-170, "Expression error"}, {-171, "Invalid expression"}, {-178, "Expression data not allowed"},
    {-200, "Execution error"}, {-203, "Command protected"}, {-210, "Trigger error"},
    {-211, "Trigger ignored"}, {-213, "Init ignored"}, {-220, "Parameter error"},
    {-221, "Settings conflict"}, {-222, "Data out of range"}, {-223, "Too much data"},
    {-224, "Illegal parameter value"}, {-225, "Out of memory"}, {-230, "Data corrupt or stale"}, {-240, "Hardware error"},
    {-241, "Hardware missing"}, {-250, "Mass storage error"}, {-254, "Media full"},
    {-256, "File name not found"}, {-257, "File name error"},
    {-300, "Device-specific error"}, {-310, "System error"}, {-321, "Out of memory"},
    {-330, "Self-test failed"}, {-350, "Queue overflow"}, {-360, "Communication error"},
    {-363, "Input buffer overrun"}, {-400, "Query error"}, {-410, "Query INTERRUPTED"},
    {-420, "Query UNTERMINATED"}, {-430, "Query DEADLOCKED"},
    {-440, "Query UNTERMINATED after indefinite response"}, {-500, "Power on"},
    {-600, "User request"}, {-700, "Request control"}, {-800, "Operation complete"},
};

uint8_t EsrBitForError(int nCode)
{
    switch (-nCode / 100) {
    case 1: return 0x20;
    case 2: return 0x10;
    case 3: return 0x08;
    case 4: return 0x04;
    case 5: return 0x80;
    case 6: return 0x40;
    case 7: return 0x02;
    case 8: return 0x01;
    default: return 0;
    }
}

// Multipliers of SCPI unit suffixes. "M" is milli without regard to case;
// mega is spelled "MA", except in MHZ and MOHM where "M" means mega.
double SuffixMultiplier(const std::string& strPrefix, const std::string& strUnit, bool& bValid)
{
    static const std::map<std::string, double> kPrefixes = {
        {"", 1.0}, {"EX", 1e18}, {"PE", 1e15}, {"T", 1e12}, {"G", 1e9}, {"MA", 1e6},
        {"K", 1e3}, {"M", 1e-3}, {"U", 1e-6}, {"N", 1e-9}, {"P", 1e-12}, {"F", 1e-15}, {"A", 1e-18},
    };
    if (strPrefix == "M" && (strUnit == "HZ" || strUnit == "OHM"))
        return bValid = true, 1e6;
    auto it = kPrefixes.find(strPrefix);
    bValid = it != kPrefixes.end();
    return bValid ? it->second : 1.0;
}

} // namespace

const uint64_t CScpiEngine::kMaxStoredAnswer = CInstrumentState::kMassMemoryCapacity + 64;

void CScpiEngine::SContext::Answer(std::string strText)
{
    CDevice::SSegment seg;
    seg.uLength = strText.size();
    seg.strBytes = std::move(strText);
    lstResponse.push_back(std::move(seg));
}

CScpiEngine::CScpiEngine(CScpiHost& host, std::shared_ptr<CInstrumentState> pState)
    : m_host(host), m_pState(std::move(pState))
{
    RegisterCommands();
}

const char* CScpiEngine::ErrorText(int nCode)
{
    for (const SErrorText& entry : kErrorTexts) {
        if (entry.nCode == nCode)
            return entry.pszText;
    }
    return "Unknown error";
}

void CScpiEngine::PushError(int nCode, const std::string& strDetail)
{
    m_uEsr |= EsrBitForError(nCode);
    std::string strText = ErrorText(nCode);
    if (!strDetail.empty())
        strText += ";" + strDetail;
    if (strText.size() > 255)
        strText.resize(255);
    if (m_lstErrors.size() < kErrorQueueCapacity) {
        m_lstErrors.emplace_back(nCode, strText);
    } else {
        // A full queue keeps its oldest entries; the newest slot says something was lost.
        m_uEsr |= EsrBitForError(-350);
        m_lstErrors.back() = {-350, ErrorText(-350)};
    }
}

uint8_t CScpiEngine::StatusBits() const
{
    uint8_t uStb = 0;
    if (!m_lstErrors.empty())
        uStb |= 0x04;
    if (m_uEsr & m_uEse)
        uStb |= 0x20;
    return uStb;
}

void CScpiEngine::Register(const char* pszPattern, Handler fnHandler)
{
    SCommand cmd;
    std::string strPattern(pszPattern);
    if (!strPattern.empty() && strPattern.back() == '?') {
        cmd.bQuery = true;
        strPattern.pop_back();
    }
    cmd.bCommon = !strPattern.empty() && (strPattern[0] == '*' || strPattern[0] == '&');
    std::string strNode;
    bool bOptional = false;
    auto fnFinish = [&]() {
        if (strNode.empty())
            return;
        SNode node;
        node.strLong = Upper(strNode);
        for (char c : strNode) {
            if (!std::islower(static_cast<unsigned char>(c)))
                node.strShort += c;
        }
        node.bOptional = bOptional;
        cmd.lstNodes.push_back(node);
        strNode.clear();
    };
    for (char c : strPattern) {
        if (c == '[') {
            fnFinish();
            bOptional = true;
        } else if (c == ']') {
            fnFinish();
            bOptional = false;
        } else if (c == ':') {
            fnFinish();
        } else {
            strNode += c;
        }
    }
    fnFinish();
    cmd.fnHandler = std::move(fnHandler);
    m_lstCommands.push_back(std::move(cmd));
}

bool CScpiEngine::MatchNodes(const std::vector<SNode>& lstNodes, size_t nNode,
                             const std::vector<std::string>& lstMnemonics, size_t nMnemonic)
{
    if (nNode == lstNodes.size())
        return nMnemonic == lstMnemonics.size();
    const SNode& node = lstNodes[nNode];
    if (nMnemonic < lstMnemonics.size()) {
        const std::string& strUpper = lstMnemonics[nMnemonic];
        if ((strUpper == node.strLong || strUpper == node.strShort)
            && MatchNodes(lstNodes, nNode + 1, lstMnemonics, nMnemonic + 1))
            return true;
    }
    return node.bOptional && MatchNodes(lstNodes, nNode + 1, lstMnemonics, nMnemonic);
}

const CScpiEngine::SCommand* CScpiEngine::Find(const std::vector<std::string>& lstMnemonics, bool bQuery,
                                               bool bCommon) const
{
    // Upper-cased once here rather than at every node of every command tried.
    std::vector<std::string> lstUpper;
    lstUpper.reserve(lstMnemonics.size());
    for (const std::string& strMnemonic : lstMnemonics)
        lstUpper.push_back(Upper(strMnemonic));
    for (const SCommand& cmd : m_lstCommands) {
        if (cmd.bQuery == bQuery && cmd.bCommon == bCommon && MatchNodes(cmd.lstNodes, 0, lstUpper, 0))
            return &cmd;
    }
    return nullptr;
}

void CScpiEngine::Execute(const std::string& strMessage, SResult& result)
{
    result = SResult();
    CScpiParser parser(strMessage);
    std::vector<std::string> lstPath;
    bool bIndefiniteSent = false;
    SScpiUnit unit;
    int nError = 0;
    uint64_t uStored = 0;
    for (;;) {
        const CScpiParser::EResult eResult = parser.Next(unit, nError);
        if (eResult == CScpiParser::EResult::End)
            break;
        if (eResult == CScpiParser::EResult::Error) {
            PushError(nError);
            continue;
        }
        if (bIndefiniteSent && unit.bQuery) {
            PushError(-440);
            continue;
        }
        std::vector<std::string> lstFull;
        if (!unit.bCommon && !unit.bAbsolute)
            lstFull = lstPath;
        lstFull.insert(lstFull.end(), unit.lstMnemonics.begin(), unit.lstMnemonics.end());
        const SCommand* pCmd = Find(lstFull, unit.bQuery, unit.bCommon);
        if (!pCmd) {
            PushError(-113);
            continue;
        }
        // Common commands leave the current path alone; others move it to
        // their parent node so that "SYST:ERR?;VERS?" reaches SYST:VERS?.
        if (!unit.bCommon)
            lstPath.assign(lstFull.begin(), lstFull.end() - 1);

        SContext ctx{unit, {}, false, false};
        pCmd->fnHandler(*this, ctx);
        // Generated runs cost nothing until read; stored bytes are bounded so
        // that one short message cannot make the answer grow without end.
        uint64_t uUnitStored = 0;
        for (const CDevice::SSegment& seg : ctx.lstResponse)
            uUnitStored += seg.strBytes.size();
        if (uUnitStored > kMaxStoredAnswer - std::min(uStored, kMaxStoredAnswer)) {
            ctx.lstResponse.clear();
            PushError(-225);
        } else {
            uStored += uUnitStored;
        }
        if (!ctx.lstResponse.empty()) {
            if (result.bHasResponse)
                result.lstSegments.push_back({CDevice::SSegment::EKind::Literal, ";", 1});
            for (CDevice::SSegment& seg : ctx.lstResponse)
                result.lstSegments.push_back(std::move(seg));
            result.bHasResponse = true;
        }
        bIndefiniteSent = bIndefiniteSent || ctx.bIndefinite;
        if (ctx.bHangup) {
            // The connection goes down after this text; the rest of the message is moot.
            result.bHangup = true;
            break;
        }
    }
    if (result.bHasResponse || result.bHangup) {
        result.nDelayMs = m_nPendingDelayMs;
        m_nPendingDelayMs = 0;
    }
}

bool CScpiEngine::ExpectParams(SContext& ctx, size_t nMin, size_t nMax)
{
    const size_t nCount = ctx.unit.lstParams.size();
    if (nCount < nMin) {
        PushError(-109);
        return false;
    }
    if (nCount > nMax) {
        PushError(-108);
        return false;
    }
    return true;
}

bool CScpiEngine::NumericParam(SContext& ctx, size_t nIndex, const char* pszUnit, double dMin, double dMax,
                               double dDefault, double& dValue)
{
    const SScpiParam& param = ctx.Param(nIndex);
    if (param.eType == SScpiParam::EType::Character) {
        const std::string strUpper = Upper(param.strText);
        if (strUpper == "MIN" || strUpper == "MINIMUM")
            dValue = dMin;
        else if (strUpper == "MAX" || strUpper == "MAXIMUM")
            dValue = dMax;
        else if (strUpper == "DEF" || strUpper == "DEFAULT")
            dValue = dDefault;
        else
            return PushError(-224), false;
        return true;
    }
    if (param.eType != SScpiParam::EType::Numeric)
        return PushError(-104), false;
    double dMultiplier = 1.0;
    if (!param.strSuffix.empty()) {
        const std::string strSuffix = Upper(param.strSuffix);
        const std::string strUnit = pszUnit ? pszUnit : "";
        if (strUnit.empty())
            return PushError(-138), false;
        if (strSuffix.size() < strUnit.size()
            || strSuffix.compare(strSuffix.size() - strUnit.size(), std::string::npos, strUnit) != 0)
            return PushError(-131), false;
        bool bValid = false;
        dMultiplier = SuffixMultiplier(strSuffix.substr(0, strSuffix.size() - strUnit.size()), strUnit, bValid);
        if (!bValid)
            return PushError(-131), false;
    }
    const double dScaled = param.dValue * dMultiplier;
    if (!(dScaled >= dMin && dScaled <= dMax))
        return PushError(-222), false;
    dValue = dScaled;
    return true;
}

bool CScpiEngine::IntegerParam(SContext& ctx, size_t nIndex, uint64_t uMin, uint64_t uMax, uint64_t& uValue)
{
    double dValue = 0;
    if (!NumericParam(ctx, nIndex, nullptr, static_cast<double>(uMin), static_cast<double>(uMax),
                      static_cast<double>(uMin), dValue))
        return false;
    uValue = static_cast<uint64_t>(std::llround(dValue));
    return true;
}

bool CScpiEngine::StringParam(SContext& ctx, size_t nIndex, std::string& strValue)
{
    const SScpiParam& param = ctx.Param(nIndex);
    if (param.eType != SScpiParam::EType::String || param.bEmbeddedBlock)
        return PushError(-104), false;
    strValue = param.strText;
    return true;
}

void CScpiEngine::RegisterCommands()
{
    RegisterCommon();
    RegisterSystem();
    RegisterMeasurement();
    RegisterMassMemory();
    RegisterTest();
    RegisterWaveform();
}
