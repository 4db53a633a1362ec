#pragma once

#include "Device.h"
#include "ScpiHost.h"
#include "ScpiParser.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CInstrumentState;

// The simulated instrument's command set and IEEE 488.2 status model: runs
// one complete program message at a time and hands back its response. Not
// thread-safe on its own; CDevice calls it under the device's lock.
class CScpiEngine
{
public:
    struct SResult
    {
        std::vector<CDevice::SSegment> lstSegments; // response without its terminator
        bool bHasResponse = false;
        bool bHangup = false;      // TEST:HANGup: send lstSegments unterminated, then drop the link
        int nDelayMs = 0;          // hold the response back this long
    };

    static const size_t kErrorQueueCapacity = 20;
    static const uint64_t kMaxTestLength = 999999999ull;
    // Bytes one program message's answer may hold in memory: enough for the
    // whole mass memory in one file.
    static const uint64_t kMaxStoredAnswer;

    CScpiEngine(CScpiHost& host, std::shared_ptr<CInstrumentState> pState);

    void Execute(const std::string& strMessage, SResult& result);

    // Records an error in the queue (with overflow handling) and sets its ESR bit.
    void PushError(int nCode, const std::string& strDetail = std::string());
    static const char* ErrorText(int nCode);

    // STB bits owned by the engine: EAV (0x04) and ESB (0x20).
    uint8_t StatusBits() const;
    uint8_t ServiceRequestEnable() const { return m_uSre; }
    uint8_t EventStatus() const { return m_uEsr; }
    size_t ErrorCount() const { return m_lstErrors.size(); }

    // Device clear resets the parser side only: a TEST:DELay not yet used.
    void OnDeviceClear() { m_nPendingDelayMs = 0; }

    struct SContext;
    using Handler = std::function<void(CScpiEngine&, SContext&)>;

private:
    struct SNode
    {
        std::string strLong;  // upper case
        std::string strShort; // upper case
        bool bOptional = false;
    };
    struct SCommand
    {
        std::vector<SNode> lstNodes;
        bool bQuery = false;
        bool bCommon = false;
        Handler fnHandler;
    };

    void Register(const char* pszPattern, Handler fnHandler);
    void RegisterCommands();
    const SCommand* Find(const std::vector<std::string>& lstMnemonics, bool bQuery, bool bCommon) const;
    // lstMnemonics must be upper case already.
    static bool MatchNodes(const std::vector<SNode>& lstNodes, size_t nNode,
                           const std::vector<std::string>& lstMnemonics, size_t nMnemonic);

    // Handler helpers (they record errors themselves and return false).
    bool ExpectParams(SContext& ctx, size_t nMin, size_t nMax);
    bool NumericParam(SContext& ctx, size_t nIndex, const char* pszUnit, double dMin, double dMax,
                      double dDefault, double& dValue);
    bool IntegerParam(SContext& ctx, size_t nIndex, uint64_t uMin, uint64_t uMax, uint64_t& uValue);
    bool StringParam(SContext& ctx, size_t nIndex, std::string& strValue);

    void RegisterCommon();
    void RegisterSystem();
    void RegisterMeasurement();
    void RegisterMassMemory();
    void RegisterTest();
    void RegisterWaveform();

    CScpiHost& m_host;
    std::shared_ptr<CInstrumentState> m_pState;
    std::vector<SCommand> m_lstCommands;

    std::deque<std::pair<int, std::string>> m_lstErrors;
    uint8_t m_uEsr = 0x80; // power-on
    uint8_t m_uEse = 0;
    uint8_t m_uSre = 0;
    int m_nPendingDelayMs = 0;
    // TEST:ERRor:ENDLess: SYST:ERR? never reports 0 until *CLS.
    bool m_bEndlessErrors = false;
};

// What a handler sees of the unit it runs and where its answer goes.
struct CScpiEngine::SContext
{
    const SScpiUnit& unit;
    std::vector<CDevice::SSegment> lstResponse; // this unit's answer
    bool bIndefinite = false; // answer is arbitrary ASCII: nothing may follow it
    bool bHangup = false;

    void Answer(std::string strText);
    const SScpiParam& Param(size_t nIndex) const { return unit.lstParams[nIndex]; }
};
