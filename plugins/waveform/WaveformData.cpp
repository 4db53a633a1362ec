#include "WaveformData.h"

#include <QIODevice>

#include <charconv>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

bool IsSeparator(char c)
{
    return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool EqualsNoCase(const char* p, const char* pEnd, const char* pszWord)
{
    for (; p < pEnd && *pszWord; ++p, ++pszWord) {
        char c = *p;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != *pszWord)
            return false;
    }
    return p == pEnd && *pszWord == 0;
}

bool ParseNumber(const char* p, const char* pEnd, double& dValue)
{
    bool bNegative = false;
    if (p < pEnd && (*p == '+' || *p == '-')) {
        bNegative = *p == '-';
        ++p;
    }
    if (EqualsNoCase(p, pEnd, "NAN")) {
        dValue = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (EqualsNoCase(p, pEnd, "INF") || EqualsNoCase(p, pEnd, "INFINITY")) {
        dValue = bNegative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (p == pEnd || *p == '+' || *p == '-')
        return false;
    const std::from_chars_result res = std::from_chars(p, pEnd, dValue);
    if (res.ec != std::errc() || res.ptr != pEnd)
        return false;
    // SCPI's reserved values for "not a number" and for infinity.
    if (dValue == 9.91e37)
        dValue = std::numeric_limits<double>::quiet_NaN();
    else if (dValue == 9.9e37)
        dValue = std::numeric_limits<double>::infinity();
    if (bNegative)
        dValue = -dValue;
    return true;
}

void AppendNumber(QByteArray& ba, double d)
{
    if (std::isnan(d)) {
        ba += "nan";
        return;
    }
    if (std::isinf(d)) {
        ba += d > 0 ? "inf" : "-inf";
        return;
    }
    char sz[32];
    const std::to_chars_result res = std::to_chars(sz, sz + sizeof sz, d);
    ba.append(sz, static_cast<int>(res.ptr - sz));
}

} // namespace

void CWaveformData::ParseText(const char* pData, int64_t nLength, int64_t nMaxValues, std::vector<double>& lstValues,
                              int64_t& nInvalid, int64_t& nDropped)
{
    nInvalid = 0;
    nDropped = 0;
    lstValues.clear();
    const char* p = pData;
    const char* pEnd = pData + nLength;
    // Counting first lets the values be stored without the slack of a growing vector.
    int64_t nTokens = 0;
    for (const char* q = p; q < pEnd;) {
        while (q < pEnd && IsSeparator(*q))
            ++q;
        if (q == pEnd)
            break;
        ++nTokens;
        while (q < pEnd && !IsSeparator(*q))
            ++q;
    }
    lstValues.reserve(static_cast<size_t>(std::min(nTokens, nMaxValues)));
    while (p < pEnd) {
        while (p < pEnd && IsSeparator(*p))
            ++p;
        if (p == pEnd)
            break;
        const char* pToken = p;
        while (p < pEnd && !IsSeparator(*p))
            ++p;
        double dValue = 0;
        if (!ParseNumber(pToken, p, dValue)) {
            ++nInvalid;
        } else if (static_cast<int64_t>(lstValues.size()) < nMaxValues) {
            lstValues.push_back(dValue);
        } else {
            ++nDropped;
        }
    }
}

void CWaveformData::SetAnswer(const char* pData, int64_t nLength)
{
    m_series.Clear();
    m_baAnswer = QByteArray();
    m_bHasAnswer = pData != nullptr;
    m_report = SReport();
    m_report.nAnswerBytes = m_bHasAnswer ? std::max<int64_t>(nLength, 0) : 0;
    m_report.nKeptBytes = std::min(m_report.nAnswerBytes, kMaxKeptBytes);
    if (m_report.nKeptBytes > 0)
        m_baAnswer = QByteArray(pData, static_cast<qsizetype>(m_report.nKeptBytes));
}

void CWaveformData::Decode(EWaveFormat eFormat, EByteOrder eOrder)
{
    m_series.Clear();
    const int64_t nAnswerBytes = m_report.nAnswerBytes;
    const int64_t nKeptBytes = m_report.nKeptBytes;
    m_report = SReport();
    m_report.nAnswerBytes = nAnswerBytes;
    m_report.nKeptBytes = nKeptBytes;
    if (!m_bHasAnswer) {
        m_report.eStatus = EStatus::NoAnswer;
        return;
    }
    if (nKeptBytes == 0) {
        m_report.eStatus = EStatus::Empty;
        return;
    }
    const char* pData = m_baAnswer.constData();
    m_payload = CAnswerFormat::FindPayload(pData, nKeptBytes);
    m_report.nDeclared = m_payload.nDeclared;
    // What the header declares beyond the kept copy was received but not kept;
    // only what the answer itself lacks is missing.
    if (m_payload.nDeclared >= 0)
        m_report.nMissingBytes = std::max<int64_t>(0, m_payload.nStart + m_payload.nDeclared - nAnswerBytes);

    const CAnswerFormat::SDetection det = CAnswerFormat::Detect(pData, nKeptBytes);
    m_report.bDetected = eFormat == EWaveFormat::Auto;
    m_report.eFormat = eFormat == EWaveFormat::Auto ? det.eFormat : eFormat;
    m_report.eOrder = eOrder == EByteOrder::Auto ? det.eOrder : eOrder;
    if (eOrder == EByteOrder::Auto && eFormat != EWaveFormat::Auto && SampleSize(eFormat) > 1) {
        // A fixed type with automatic byte order: the smoother of the two readings.
        const char* pPayload = pData + m_payload.nStart;
        m_report.eOrder = CAnswerFormat::DetectSamples(pPayload, m_payload.nLength, 0, eFormat).eOrder;
    }

    if (m_payload.bMalformed && eFormat == EWaveFormat::Auto) {
        m_report.eStatus = EStatus::BadBlock;
        return;
    }
    const char* pPayload = pData + m_payload.nStart;
    const int64_t nPayload = m_payload.nLength;

    if (m_report.eFormat == EWaveFormat::Image) {
        m_report.eImage = CAnswerFormat::ImageType(pPayload, nPayload);
        m_report.eStatus = EStatus::Image;
        return;
    }
    if (m_report.eFormat == EWaveFormat::Text) {
        std::vector<double> lstValues;
        ParseText(pPayload, nPayload, kMaxTextValues, lstValues, m_report.nInvalidTokens, m_report.nDroppedValues);
        const int64_t nNumbers = static_cast<int64_t>(lstValues.size()) + m_report.nDroppedValues;
        // A stray word now and then (a header, a unit) is forgiven; an answer
        // like "*IDN?"'s, with a number among words, is not a trace.
        if (nNumbers == 0 || m_report.nInvalidTokens * 10 > nNumbers) {
            m_report.eStatus = m_report.nInvalidTokens > 0 ? EStatus::NotNumbers : EStatus::NoSamples;
            return;
        }
        m_series.SetValues(std::move(lstValues));
    } else {
        const int nSize = SampleSize(m_report.eFormat);
        m_report.nTrailingBytes = nPayload % nSize;
        m_series.SetRaw(pPayload, nPayload / nSize, m_report.eFormat, m_report.eOrder);
    }
    m_report.nNonFinite = m_series.NonFiniteCount();
    m_report.eStatus = m_series.Count() > 0 ? EStatus::Samples : EStatus::NoSamples;
}

QByteArray CWaveformData::ImageBytes() const
{
    if (m_report.eStatus != EStatus::Image)
        return QByteArray();
    return QByteArray::fromRawData(m_baAnswer.constData() + m_payload.nStart,
                                   static_cast<qsizetype>(m_payload.nLength));
}

bool CWaveformData::WriteCsv(QIODevice& device, const SWaveScaling& scaling) const
{
    QByteArray baChunk = "index,x,y\n";
    const int64_t nCount = m_series.Count();
    for (int64_t i = 0; i < nCount; ++i) {
        baChunk += QByteArray::number(static_cast<qlonglong>(i));
        baChunk += ',';
        AppendNumber(baChunk, scaling.X(static_cast<double>(i)));
        baChunk += ',';
        AppendNumber(baChunk, scaling.Y(m_series.Value(i)));
        baChunk += '\n';
        if (baChunk.size() >= 1 << 20) {
            if (device.write(baChunk) != baChunk.size())
                return false;
            baChunk.clear();
        }
    }
    return device.write(baChunk) == baChunk.size();
}
