// The simulated instrument's command set, registered into CScpiEngine.
#include "ScpiEngine.h"

#include "InstrumentState.h"

#include <cstdio>

namespace {

using EFunction = CInstrumentState::EFunction;

std::string Nr1(uint64_t uValue)
{
    return std::to_string(uValue);
}

std::string Nr3(double dValue)
{
    char szBuffer[40];
    std::snprintf(szBuffer, sizeof szBuffer, "%+.8E", dValue);
    return szBuffer;
}

std::string Quoted(const std::string& strText)
{
    std::string strOut = "\"";
    for (char c : strText) {
        if (c == '"')
            strOut += '"';
        strOut += c;
    }
    return strOut + "\"";
}

std::string BlockHeader(uint64_t uLength)
{
    const std::string strLength = std::to_string(uLength);
    return "#" + std::to_string(strLength.size()) + strLength;
}

CDevice::SSegment Generated(CDevice::SSegment::EKind eKind, uint64_t uLength)
{
    CDevice::SSegment seg;
    seg.eKind = eKind;
    seg.uLength = uLength;
    return seg;
}

const double kMaxVolts = 100.0;
const double kMaxAmps = 10.0;
const int kMaxDelayMs = 3600 * 1000;

} // namespace

void CScpiEngine::RegisterCommon()
{
    Register("*IDN?", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 0))
            return;
        ctx.Answer(e.m_pState->Identity());
        ctx.bIndefinite = true;
    });
    Register("*RST", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 0))
            return;
        e.m_pState->Reset();
        e.m_nPendingDelayMs = 0;
    });
    Register("*CLS", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 0))
            return;
        e.m_uEsr = 0;
        e.m_lstErrors.clear();
        e.m_bEndlessErrors = false;
    });
    // Nothing here runs in the background, so operations are always complete.
    Register("*OPC", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            e.m_uEsr |= 0x01;
    });
    Register("*OPC?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer("1");
    });
    Register("*WAI", [](CScpiEngine& e, SContext& ctx) { e.ExpectParams(ctx, 0, 0); });
    Register("*TST?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer("0");
    });
    Register("*OPT?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer("0");
    });
    Register("*TRG", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            e.m_host.CountTrigger();
    });
    Register("*ESE", [](CScpiEngine& e, SContext& ctx) {
        uint64_t uValue = 0;
        if (e.ExpectParams(ctx, 1, 1) && e.IntegerParam(ctx, 0, 0, 255, uValue))
            e.m_uEse = static_cast<uint8_t>(uValue);
    });
    Register("*ESE?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr1(e.m_uEse));
    });
    Register("*ESR?", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 0))
            return;
        ctx.Answer(Nr1(e.m_uEsr));
        e.m_uEsr = 0;
    });
    Register("*SRE", [](CScpiEngine& e, SContext& ctx) {
        uint64_t uValue = 0;
        if (e.ExpectParams(ctx, 1, 1) && e.IntegerParam(ctx, 0, 0, 255, uValue))
            e.m_uSre = static_cast<uint8_t>(uValue & ~0x40u);
    });
    Register("*SRE?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr1(e.m_uSre));
    });
    Register("*STB?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr1(e.m_host.CurrentStatusByte()));
    });
    // Go-to-local and remote as sent by controllers without a GPIB bus.
    Register("&GTL", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            e.m_host.SetRemoteState(false);
    });
    Register("&GTR", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            e.m_host.SetRemoteState(true);
    });
}

void CScpiEngine::RegisterSystem()
{
    Register("SYSTem:ERRor[:NEXT]?", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 0))
            return;
        if (e.m_bEndlessErrors) {
            ctx.Answer("-300," + Quoted(ErrorText(-300)));
            return;
        }
        if (e.m_lstErrors.empty()) {
            ctx.Answer("0,\"No error\"");
            return;
        }
        const auto entry = e.m_lstErrors.front();
        e.m_lstErrors.pop_front();
        ctx.Answer(std::to_string(entry.first) + "," + Quoted(entry.second));
    });
    Register("SYSTem:ERRor:COUNt?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr1(e.m_lstErrors.size()));
    });
    Register("SYSTem:ERRor:ALL?", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 0))
            return;
        std::string strAll;
        for (const auto& entry : e.m_lstErrors)
            strAll += (strAll.empty() ? "" : ",") + std::to_string(entry.first) + "," + Quoted(entry.second);
        e.m_lstErrors.clear();
        ctx.Answer(strAll.empty() ? "0,\"No error\"" : strAll);
    });
    Register("SYSTem:VERSion?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer("1999.0");
    });
    Register("DISPlay[:WINDow]:TEXT[:DATA]", [](CScpiEngine& e, SContext& ctx) {
        std::string strText;
        if (e.ExpectParams(ctx, 1, 1) && e.StringParam(ctx, 0, strText))
            e.m_pState->SetDisplayText(strText);
    });
    Register("DISPlay[:WINDow]:TEXT[:DATA]?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Quoted(e.m_pState->DisplayText()));
    });
}

void CScpiEngine::RegisterMeasurement()
{
    // Range and resolution are accepted and checked for type, not used.
    auto fnRangeOk = [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 2))
            return false;
        for (const SScpiParam& param : ctx.unit.lstParams) {
            if (param.eType != SScpiParam::EType::Numeric && param.eType != SScpiParam::EType::Character)
                return e.PushError(-104), false;
        }
        return true;
    };
    Register("MEASure:VOLTage[:DC]?", [fnRangeOk](CScpiEngine& e, SContext& ctx) {
        if (fnRangeOk(e, ctx))
            ctx.Answer(Nr3(e.m_pState->Measure(EFunction::VoltageDc)));
    });
    Register("MEASure:CURRent[:DC]?", [fnRangeOk](CScpiEngine& e, SContext& ctx) {
        if (fnRangeOk(e, ctx))
            ctx.Answer(Nr3(e.m_pState->Measure(EFunction::CurrentDc)));
    });
    Register("CONFigure:VOLTage[:DC]", [fnRangeOk](CScpiEngine& e, SContext& ctx) {
        if (fnRangeOk(e, ctx))
            e.m_pState->SetFunction(EFunction::VoltageDc);
    });
    Register("CONFigure:CURRent[:DC]", [fnRangeOk](CScpiEngine& e, SContext& ctx) {
        if (fnRangeOk(e, ctx))
            e.m_pState->SetFunction(EFunction::CurrentDc);
    });
    Register("CONFigure?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(e.m_pState->Function() == EFunction::VoltageDc ? "\"VOLT:DC\"" : "\"CURR:DC\"");
    });
    Register("READ?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr3(e.m_pState->Measure(e.m_pState->Function())));
    });
    Register("[SOURce]:VOLTage[:LEVel][:IMMediate][:AMPLitude]", [](CScpiEngine& e, SContext& ctx) {
        double dValue = 0;
        if (e.ExpectParams(ctx, 1, 1) && e.NumericParam(ctx, 0, "V", -kMaxVolts, kMaxVolts, 1.0, dValue))
            e.m_pState->SetVoltageLevel(dValue);
    });
    Register("[SOURce]:VOLTage[:LEVel][:IMMediate][:AMPLitude]?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr3(e.m_pState->VoltageLevel()));
    });
    Register("[SOURce]:CURRent[:LEVel][:IMMediate][:AMPLitude]", [](CScpiEngine& e, SContext& ctx) {
        double dValue = 0;
        if (e.ExpectParams(ctx, 1, 1) && e.NumericParam(ctx, 0, "A", -kMaxAmps, kMaxAmps, 0.01, dValue))
            e.m_pState->SetCurrentLevel(dValue);
    });
    Register("[SOURce]:CURRent[:LEVel][:IMMediate][:AMPLitude]?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr3(e.m_pState->CurrentLevel()));
    });
}

void CScpiEngine::RegisterMassMemory()
{
    Register("MMEMory:NAME", [](CScpiEngine& e, SContext& ctx) {
        std::string strName;
        if (e.ExpectParams(ctx, 1, 1) && e.StringParam(ctx, 0, strName))
            e.m_pState->SetCurrentFileName(strName);
    });
    Register("MMEMory:NAME?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Quoted(e.m_pState->CurrentFileName()));
    });
    Register("MMEMory:DATA", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 1, 2))
            return;
        const SScpiParam& first = ctx.Param(0);
        std::string strName;
        std::string strData;
        if (ctx.unit.lstParams.size() == 1) {
            // 'name,#<block>' with the block inside the quotes: some
            // controllers upload files this way.
            if (first.eType != SScpiParam::EType::String)
                return e.PushError(-104);
            if (!first.bEmbeddedBlock)
                return e.PushError(-109);
            strName = first.strText;
            strData = first.strBlock;
        } else {
            if (!e.StringParam(ctx, 0, strName))
                return;
            if (ctx.Param(1).eType != SScpiParam::EType::Block)
                return e.PushError(-104);
            strData = ctx.Param(1).strText;
        }
        if (strName.empty())
            return e.PushError(-257);
        if (!e.m_pState->StoreFile(strName, std::move(strData)))
            e.PushError(-254);
    });
    Register("MMEMory:DATA?", [](CScpiEngine& e, SContext& ctx) {
        std::string strName;
        if (!e.ExpectParams(ctx, 1, 1) || !e.StringParam(ctx, 0, strName))
            return;
        std::string strData;
        if (!e.m_pState->LoadFile(strName, strData))
            return e.PushError(-256, strName);
        ctx.Answer(BlockHeader(strData.size()) + strData);
    });
    Register("MMEMory:CATalog?", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 1))
            return;
        const uint64_t uUsed = e.m_pState->UsedBytes();
        std::string strCatalog = Nr1(uUsed) + "," + Nr1(CInstrumentState::kMassMemoryCapacity - uUsed);
        for (const auto& file : e.m_pState->Catalog())
            strCatalog += "," + Quoted(file.strName + ",BIN," + Nr1(file.uSize));
        ctx.Answer(strCatalog);
    });
    Register("MMEMory:DELete", [](CScpiEngine& e, SContext& ctx) {
        std::string strName;
        if (e.ExpectParams(ctx, 1, 1) && e.StringParam(ctx, 0, strName) && !e.m_pState->DeleteFile(strName))
            e.PushError(-256, strName);
    });
}

void CScpiEngine::RegisterTest()
{
    // Answers of any length are generated while they are sent, never built
    // in memory, so a client may ask for the largest block IEEE 488.2 allows.
    Register("TEST:TEXT?", [](CScpiEngine& e, SContext& ctx) {
        uint64_t uLength = 0;
        if (!e.ExpectParams(ctx, 1, 1) || !e.IntegerParam(ctx, 0, 0, kMaxTestLength, uLength))
            return;
        ctx.lstResponse.push_back(Generated(CDevice::SSegment::EKind::Text, uLength));
    });
    Register("TEST:BLOCk?", [](CScpiEngine& e, SContext& ctx) {
        uint64_t uLength = 0;
        if (!e.ExpectParams(ctx, 1, 1) || !e.IntegerParam(ctx, 0, 0, kMaxTestLength, uLength))
            return;
        ctx.Answer(BlockHeader(uLength));
        ctx.lstResponse.push_back(Generated(CDevice::SSegment::EKind::Ramp, uLength));
    });
    Register("TEST:DELay", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 1, 1))
            return;
        // Plain numbers are milliseconds; with a unit ("2 S", "150 MS") the value is in seconds.
        const bool bUnit = !ctx.Param(0).strSuffix.empty();
        double dValue = 0;
        if (!e.NumericParam(ctx, 0, "S", 0, bUnit ? kMaxDelayMs / 1000.0 : kMaxDelayMs, 0, dValue))
            return;
        e.m_nPendingDelayMs = static_cast<int>(bUnit ? dValue * 1000.0 + 0.5 : dValue + 0.5);
    });
    Register("TEST:DELay?", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            ctx.Answer(Nr1(static_cast<uint64_t>(e.m_nPendingDelayMs)));
    });
    // A controller that reads the error queue until it reports 0 must
    // still come to an end with an instrument that never does.
    Register("TEST:ERRor:ENDLess", [](CScpiEngine& e, SContext& ctx) {
        if (e.ExpectParams(ctx, 0, 0))
            e.m_bEndlessErrors = true;
    });
    Register("TEST:HANGup", [](CScpiEngine& e, SContext& ctx) {
        uint64_t uLength = 0;
        if (!e.ExpectParams(ctx, 1, 1) || !e.IntegerParam(ctx, 0, 0, kMaxTestLength, uLength))
            return;
        if (uLength > 0)
            ctx.lstResponse.push_back(Generated(CDevice::SSegment::EKind::Text, uLength));
        ctx.bHangup = true;
    });
}
