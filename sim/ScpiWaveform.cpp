// Test signals for trying plotting clients against the simulator: a noisy
// sine as text or as a binary block, and a screenshot of a pretend display.
#include "ScpiEngine.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const uint64_t kMaxPoints = 10000000;
const uint64_t kDefaultPoints = 1000;
const int kScreenWidth = 320;
const int kScreenHeight = 240;

// Character data matches the long form or its upper-case short form, in any case.
bool Keyword(const SScpiParam& param, const char* pszPattern)
{
    if (param.eType != SScpiParam::EType::Character)
        return false;
    std::string strLong;
    std::string strShort;
    for (const char* p = pszPattern; *p; ++p) {
        strLong += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
        if (std::isupper(static_cast<unsigned char>(*p)) || std::isdigit(static_cast<unsigned char>(*p)))
            strShort += *p;
    }
    std::string strText;
    for (char c : param.strText)
        strText += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return strText == strLong || strText == strShort;
}

struct SSampleFormat
{
    const char* pszKeyword;
    int nSize;      // 0: text
    bool bInteger;
    bool bSigned;
    double dCentre; // the trace's centre and amplitude in the format's units
    double dAmplitude;
};

const SSampleFormat kFormats[] = {
    {"ASCii", 0, false, true, 0, 1},          {"INT8", 1, true, true, 0, 100},
    {"UINT8", 1, true, false, 128, 100},      {"INT16", 2, true, true, 0, 20000},
    {"UINT16", 2, true, false, 32768, 20000}, {"INT32", 4, true, true, 0, 1e9},
    {"REAL32", 4, false, true, 0, 1},         {"REAL64", 8, false, true, 0, 1},
};

std::string BlockOf(const std::string& strPayload)
{
    const std::string strLength = std::to_string(strPayload.size());
    return "#" + std::to_string(strLength.size()) + strLength + strPayload;
}

void PutBytes(std::string& str, uint64_t uBits, int nSize, bool bBigEndian)
{
    for (int n = 0; n < nSize; ++n) {
        const int nShift = bBigEndian ? (nSize - 1 - n) * 8 : n * 8;
        str += static_cast<char>((uBits >> nShift) & 0xff);
    }
}

// Five periods over the record with +/-2 % of uniform noise; the same
// answer every time, so clients can be compared.
std::string Waveform(const SSampleFormat& fmt, uint64_t uPoints, bool bBigEndian)
{
    std::string strOut;
    strOut.reserve(static_cast<size_t>(uPoints) * (fmt.nSize ? static_cast<size_t>(fmt.nSize) : 15));
    uint32_t uSeed = 12345;
    for (uint64_t i = 0; i < uPoints; ++i) {
        uSeed = uSeed * 1664525u + 1013904223u;
        const double dNoise = (static_cast<double>(uSeed >> 8) / 16777216.0 - 0.5) * 0.04;
        const double dUnit = std::sin(2 * M_PI * 5 * static_cast<double>(i) / static_cast<double>(uPoints)) + dNoise;
        const double dValue = fmt.dCentre + fmt.dAmplitude * dUnit;
        if (fmt.nSize == 0) {
            char szValue[32];
            std::snprintf(szValue, sizeof szValue, "%s%+.6E", i ? "," : "", dValue);
            strOut += szValue;
        } else if (fmt.bInteger) {
            PutBytes(strOut, static_cast<uint64_t>(static_cast<int64_t>(std::lround(dValue))), fmt.nSize, bBigEndian);
        } else if (fmt.nSize == 4) {
            const float fValue = static_cast<float>(dValue);
            uint32_t uBits;
            std::memcpy(&uBits, &fValue, 4);
            PutBytes(strOut, uBits, 4, bBigEndian);
        } else {
            uint64_t uBits;
            std::memcpy(&uBits, &dValue, 8);
            PutBytes(strOut, uBits, 8, bBigEndian);
        }
    }
    return fmt.nSize == 0 ? strOut : BlockOf(strOut);
}

// RGB pixels of a pretend instrument display: graticule and a yellow trace.
std::vector<uint8_t> ScreenPixels()
{
    std::vector<uint8_t> lstRgb(static_cast<size_t>(kScreenWidth * kScreenHeight * 3));
    auto fnPut = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight)
            return;
        uint8_t* p = &lstRgb[static_cast<size_t>((y * kScreenWidth + x) * 3)];
        p[0] = r, p[1] = g, p[2] = b;
    };
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            const bool bGrid = (x % 40 == 0 || y % 40 == 0) && (x + y) % 4 == 0;
            const bool bAxis = x == kScreenWidth / 2 || y == kScreenHeight / 2;
            const bool bBorder = x == 0 || y == 0 || x == kScreenWidth - 1 || y == kScreenHeight - 1;
            if (bBorder || bAxis)
                fnPut(x, y, 110, 120, 130);
            else if (bGrid)
                fnPut(x, y, 60, 70, 80);
            else
                fnPut(x, y, 12, 18, 28);
        }
    }
    int nPrev = -1;
    for (int x = 1; x < kScreenWidth - 1; ++x) {
        const double dPhase = 2 * M_PI * 2 * x / kScreenWidth;
        const int nY = kScreenHeight / 2 - static_cast<int>(std::lround(80 * std::sin(dPhase)));
        const int nFrom = nPrev < 0 ? nY : std::min(nPrev, nY);
        const int nTo = nPrev < 0 ? nY : std::max(nPrev, nY);
        for (int y = nFrom - 1; y <= nTo + 1; ++y)
            fnPut(x, y, 255, 210, 0);
        nPrev = nY;
    }
    return lstRgb;
}

uint32_t Crc32(const std::string& str, size_t nFirst)
{
    static uint32_t s_lstTable[256];
    static bool s_bTable = false;
    if (!s_bTable) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            s_lstTable[n] = c;
        }
        s_bTable = true;
    }
    uint32_t uCrc = 0xffffffffu;
    for (size_t i = nFirst; i < str.size(); ++i)
        uCrc = s_lstTable[(uCrc ^ static_cast<uint8_t>(str[i])) & 0xff] ^ (uCrc >> 8);
    return uCrc ^ 0xffffffffu;
}

void PngChunk(std::string& strPng, const char* pszType, const std::string& strData)
{
    PutBytes(strPng, strData.size(), 4, true);
    const size_t nTypeAt = strPng.size();
    strPng += std::string(pszType, 4) + strData;
    PutBytes(strPng, Crc32(strPng, nTypeAt), 4, true);
}

// Deflate's stored blocks need no compressor and every decoder reads them.
std::string Png(const std::vector<uint8_t>& lstRgb)
{
    std::string strRaw;
    for (int y = 0; y < kScreenHeight; ++y) {
        strRaw += '\0'; // filter: none
        strRaw.append(reinterpret_cast<const char*>(&lstRgb[static_cast<size_t>(y * kScreenWidth * 3)]),
                      static_cast<size_t>(kScreenWidth * 3));
    }
    std::string strZlib = "\x78\x01";
    for (size_t nAt = 0; nAt < strRaw.size(); nAt += 65535) {
        const size_t nLen = std::min<size_t>(65535, strRaw.size() - nAt);
        strZlib += static_cast<char>(nAt + nLen == strRaw.size() ? 1 : 0);
        PutBytes(strZlib, nLen, 2, false);
        PutBytes(strZlib, ~nLen & 0xffff, 2, false);
        strZlib.append(strRaw, nAt, nLen);
    }
    uint32_t uA = 1;
    uint32_t uB = 0;
    for (char c : strRaw) {
        uA = (uA + static_cast<uint8_t>(c)) % 65521;
        uB = (uB + uA) % 65521;
    }
    PutBytes(strZlib, uB << 16 | uA, 4, true);

    std::string strHeader;
    PutBytes(strHeader, kScreenWidth, 4, true);
    PutBytes(strHeader, kScreenHeight, 4, true);
    strHeader += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    std::string strPng = "\x89PNG\r\n\x1a\n";
    PngChunk(strPng, "IHDR", strHeader);
    PngChunk(strPng, "IDAT", strZlib);
    PngChunk(strPng, "IEND", std::string());
    return strPng;
}

std::string Bmp(const std::vector<uint8_t>& lstRgb)
{
    const uint32_t uRow = kScreenWidth * 3; // already a multiple of 4
    const uint32_t uPixels = uRow * kScreenHeight;
    std::string strBmp = "BM";
    PutBytes(strBmp, 54 + uPixels, 4, false);
    PutBytes(strBmp, 0, 4, false);
    PutBytes(strBmp, 54, 4, false);
    PutBytes(strBmp, 40, 4, false);
    PutBytes(strBmp, kScreenWidth, 4, false);
    PutBytes(strBmp, kScreenHeight, 4, false); // positive: bottom row first
    PutBytes(strBmp, 1, 2, false);
    PutBytes(strBmp, 24, 2, false);
    for (int n = 0; n < 6; ++n)
        PutBytes(strBmp, n == 1 ? uPixels : 0, 4, false);
    for (int y = kScreenHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            const uint8_t* p = &lstRgb[static_cast<size_t>((y * kScreenWidth + x) * 3)];
            strBmp += static_cast<char>(p[2]);
            strBmp += static_cast<char>(p[1]);
            strBmp += static_cast<char>(p[0]);
        }
    }
    return strBmp;
}

} // namespace

void CScpiEngine::RegisterWaveform()
{
    // TEST:WAVeform? [<points>[,<format>[,NORMal|SWAPped]]]
    Register("TEST:WAVeform?", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 3))
            return;
        uint64_t uPoints = kDefaultPoints;
        if (!ctx.unit.lstParams.empty() && !e.IntegerParam(ctx, 0, 1, kMaxPoints, uPoints))
            return;
        const SSampleFormat* pFormat = &kFormats[0];
        if (ctx.unit.lstParams.size() > 1) {
            pFormat = nullptr;
            for (const SSampleFormat& fmt : kFormats)
                pFormat = !pFormat && Keyword(ctx.Param(1), fmt.pszKeyword) ? &fmt : pFormat;
            if (!pFormat)
                return e.PushError(-224);
        }
        bool bBigEndian = true; // IEEE 488.2's normal order
        if (ctx.unit.lstParams.size() > 2) {
            if (Keyword(ctx.Param(2), "SWAPped"))
                bBigEndian = false;
            else if (!Keyword(ctx.Param(2), "NORMal"))
                return e.PushError(-224);
        }
        ctx.Answer(Waveform(*pFormat, uPoints, bBigEndian));
    });
    // TEST:SCReen? [PNG|BMP]
    Register("TEST:SCReen?", [](CScpiEngine& e, SContext& ctx) {
        if (!e.ExpectParams(ctx, 0, 1))
            return;
        const bool bBmp = !ctx.unit.lstParams.empty() && Keyword(ctx.Param(0), "BMP");
        if (!ctx.unit.lstParams.empty() && !bBmp && !Keyword(ctx.Param(0), "PNG"))
            return e.PushError(-224);
        const std::vector<uint8_t> lstRgb = ScreenPixels();
        ctx.Answer(BlockOf(bBmp ? Bmp(lstRgb) : Png(lstRgb)));
    });
}
