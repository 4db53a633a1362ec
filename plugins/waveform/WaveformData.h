#pragma once

#include "AnswerFormat.h"
#include "SampleSeries.h"
#include "WaveScaling.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

class QIODevice;

// One answer as the plug-in keeps it: a single copy of its bytes (at most
// kMaxKeptBytes of them) and the samples or image read from that copy in the
// chosen format. Choosing another format reads the same copy again.
class CWaveformData
{
public:
    static constexpr int64_t kMaxKeptBytes = 256ll * 1024 * 1024;

    enum class EStatus {
        NoAnswer,     // nothing was read from the instrument yet
        Empty,        // an answer of no bytes
        Samples,      // the series holds at least one sample
        NoSamples,    // a sample format that yields none (a header only, or too few bytes)
        NotNumbers,   // text, but not a list of numbers
        BadBlock,     // '#' and a digit, but no valid block header
        Image         // the payload is an image file (decoded by the window)
    };

    struct SReport
    {
        EStatus eStatus = EStatus::NoAnswer;
        EWaveFormat eFormat = EWaveFormat::Text; // as read, never Auto
        EByteOrder eOrder = EByteOrder::Little;  // as read, never Auto
        EImageType eImage = EImageType::None;
        bool bDetected = false;        // eFormat came from detection
        int64_t nAnswerBytes = 0;      // as received
        int64_t nKeptBytes = 0;        // below nAnswerBytes when the answer was too large to keep
        int64_t nDeclared = -1;        // block length from the header
        int64_t nMissingBytes = 0;     // declared but not received
        int64_t nTrailingBytes = 0;    // payload bytes that make no whole sample
        int64_t nInvalidTokens = 0;    // text items that are not numbers
        int64_t nDroppedValues = 0;    // text numbers beyond kMaxTextValues
        int64_t nNonFinite = 0;        // NaN and infinities among the samples
    };

    static constexpr int64_t kMaxTextValues = kMaxKeptBytes / 8;

    // Copies the answer (pData null: none yet). Throws std::bad_alloc when
    // even the capped copy cannot be had.
    void SetAnswer(const char* pData, int64_t nLength);
    void Decode(EWaveFormat eFormat, EByteOrder eOrder);

    const SReport& Report() const { return m_report; }
    const CSampleSeries& Series() const { return m_series; }
    // The image file's bytes inside the kept copy (no copy is made).
    QByteArray ImageBytes() const;

    // "index,x,y" lines of every sample, scaled; NaN and infinities as "nan", "inf", "-inf".
    bool WriteCsv(QIODevice& device, const SWaveScaling& scaling) const;

    // Numbers separated by commas, semicolons or white space. SCPI's 9.91E37
    // is NaN and +/-9.9E37 are infinities.
    static void ParseText(const char* pData, int64_t nLength, int64_t nMaxValues, std::vector<double>& lstValues,
                          int64_t& nInvalid, int64_t& nDropped);

private:
    QByteArray m_baAnswer;
    bool m_bHasAnswer = false;
    CSampleSeries m_series;
    SReport m_report;
    CAnswerFormat::SPayload m_payload;
};
