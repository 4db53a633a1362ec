#include "DumpLayout.h"

#include <cstring>

namespace {

// Characters of one value per kind, for one- and two-byte values; the
// address width depends on the number of values.
constexpr int kDigitsByte[] = {0, 4, 2, 3, 8, 3, 1};
constexpr int kDigitsWord[] = {0, 4, 4, 5, 17, 6, 1};

bool IsNumericKind(int nKind)
{
    return nKind >= kKindAddr && nKind < kKindAscii;
}

} // namespace

const char* CDumpLayout::Caption(int nKind)
{
    static const char* const s_captions[] = {"", "Addr", "Hex", "Dec", "Bin", "Oct", "Ascii"};
    return nKind >= kFirstKind && nKind <= kLastKind ? s_captions[nKind] : "";
}

void CDumpLayout::SetStyle(quint32 uStyle)
{
    m_uStyle = uStyle;
    SetDataBytes(m_nDataBytes);
}

bool CDumpLayout::HasArea(int nArea) const
{
    const int nKind = nArea & 0x0F;
    if (nKind < kFirstKind || nKind > kLastKind)
        return false;
    if (nArea == nKind)
        return HasHeaderBox(nKind);
    if (nArea == kColumnArea + nKind)
        return HasColumn(nKind);
    return false;
}

int CDumpLayout::AddressDigits(int nValues)
{
    // The highest index above 16 bits needs more than four address digits; an
    // empty dump has the index -1, whose 32-bit form takes eight more.
    const qint32 nHigh = (nValues - 1) >> 16;
    if (nHigh == 0)
        return 4;
    int nDigits = 0;
    for (quint32 u = static_cast<quint32>(nHigh); u != 0; u >>= 4)
        ++nDigits;
    return 4 + nDigits;
}

void CDumpLayout::SetDataBytes(int nBytes)
{
    m_nDataBytes = nBytes > 0 ? nBytes : 0;
    // An odd last byte is no two-byte value.
    m_nValues = (m_uStyle & DCS_WORDS) ? m_nDataBytes / 2 : m_nDataBytes;
    const int* pDigits = (m_uStyle & DCS_WORDS) ? kDigitsWord : kDigitsByte;
    for (int nKind = kFirstKind; nKind <= kLastKind; ++nKind)
        m_digits[nKind] = pDigits[nKind];
    m_digits[kKindAddr] = AddressDigits(m_nValues);
}

void CDumpLayout::Layout(const SDumpRect& rcClient, int nCharWidth, int nLineHeight, int nScrollWidth)
{
    const int w = nCharWidth;
    const int L = nLineHeight;
    m_nCharWidth = w;
    m_nLineHeight = L;
    m_rcClient = rcClient;
    m_rcData = rcClient;
    m_rcColumn.fill(SDumpRect{});
    m_nPerRow = 0;
    m_nPerPage = 0;
    if (w <= 0 || L <= 0) {
        m_nCharWidth = 0;
        m_nLineHeight = 0;
        return;
    }

    int x = rcClient.left;
    if (HasColumn(kKindAddr)) {
        m_rcColumn[kKindAddr] = {x, rcClient.top, x + (m_digits[kKindAddr] + 2) * w, rcClient.bottom};
        x = m_rcColumn[kKindAddr].right;
    }

    const int nFree = rcClient.right - x - nScrollWidth;
    int nCells = nFree / w;
    int nPerValue = 0;
    int nFixed = 0;
    bool bValueColumn = false;
    for (int nKind = kKindHex; nKind <= kKindOct; ++nKind) {
        if (!HasColumn(nKind))
            continue;
        bValueColumn = true;
        nCells -= 1;
        nPerValue += (m_digits[nKind] + 1) * w;
        nFixed += w;
    }
    if (HasColumn(kKindAscii)) {
        bValueColumn = true;
        nCells -= 2;
        nPerValue += m_digits[kKindAscii] * w + 1;
        nFixed += 2 * w - 1;
    }

    if (nCells > 0 && bValueColumn) {
        m_nPerRow = static_cast<int>(static_cast<double>(nFree - nFixed) / nPerValue);
        for (int nKind = kKindHex; nKind <= kKindAscii; ++nKind) {
            if (!HasColumn(nKind))
                continue;
            const int nWidth = nKind == kKindAscii
                ? (m_digits[nKind] * m_nPerRow + 2) * w + m_nPerRow
                : ((m_digits[nKind] + 1) * m_nPerRow + 1) * w;
            m_rcColumn[nKind] = {x, rcClient.top, x + nWidth, rcClient.bottom};
            x += nWidth;
        }
    }

    LayOutHeader(w, L);

    int nDataTop = HasHeader() ? m_rcHeader.bottom : rcClient.top;
    m_nCaptionTop = -1;
    if (m_uStyle & DCS_CAPTIONS) {
        m_nCaptionTop = nDataTop;
        nDataTop += L;
    }
    m_rcData.top = nDataTop;
    m_rcData.bottom = rcClient.bottom;
    for (SDumpRect& rc : m_rcColumn) {
        if (rc.right > rc.left) {
            rc.top = nDataTop;
            rc.bottom = rcClient.bottom;
        }
    }
    // A client lower than the header leaves no row, not a negative page.
    const int nRows = (m_rcData.bottom - m_rcData.top - L / 4) / L;
    m_nPerPage = nRows > 0 ? nRows * m_nPerRow : 0;
}

void CDumpLayout::LayOutHeader(int w, int L)
{
    m_rcHeaderCell.fill(SDumpRect{});
    m_rcHeader = SDumpRect{};
    if (!HasHeader())
        return;
    int y = m_rcClient.top + L / 6;
    int nLineBottom = y + L;
    const int nSpanLeft = m_rcClient.left + w;
    const int nSpanRight = m_rcClient.right - w;
    int x = nSpanLeft;
    for (int nKind = kFirstKind; nKind <= kLastKind; ++nKind) {
        if (!HasHeaderBox(nKind))
            continue;
        const int nDigits = m_digits[nKind];
        const int nNeed = (static_cast<int>(std::strlen(Caption(nKind))) + nDigits + 3) * w;
        if (nNeed >= nSpanRight - nSpanLeft)
            continue;
        if (x + nNeed > nSpanRight) {
            y += L;
            nLineBottom += L;
            x = nSpanLeft;
        }
        const int nRight = x + nNeed;
        m_rcHeaderCell[nKind] = {nRight - (nDigits + 2) * w, y, nRight, nLineBottom - L / 6};
        x = nRight + w;
    }
    m_rcHeader = {m_rcClient.left, m_rcClient.top, m_rcClient.right, nLineBottom};
}

SDumpRect CDumpLayout::GetAreaRect(int nIndex, int nArea, int nTop) const
{
    if (nArea < 1 || !IsLaidOut())
        return {};
    const int nKind = nArea & 0x0F;
    if (nKind < kFirstKind || nKind > kLastKind)
        return {};
    if (nArea <= kColumnArea)
        return nArea == nKind ? m_rcHeaderCell[nKind] : SDumpRect{};
    if (nArea != kColumnArea + nKind || nIndex < nTop)
        return {};
    const int w = m_nCharWidth;
    const int L = m_nLineHeight;
    const int nOffset = nIndex - nTop;
    const int nRow = nOffset / PerRow();
    const int nPos = nOffset % PerRow();
    const SDumpRect& rcCol = m_rcColumn[nKind];
    SDumpRect rc;
    rc.top = rcCol.top + nRow * L + L / 4;
    rc.bottom = rc.top + L;
    if (IsNumericKind(nKind)) {
        rc.left = rcCol.left + w / 2 + nPos * (m_digits[nKind] + 1) * w;
        rc.right = rc.left + (m_digits[nKind] + 1) * w;
    } else {
        rc.left = rcCol.left + w - 1 + nPos * (w + 1);
        rc.right = rc.left + w + 2;
    }
    return rc;
}

SDumpHit CDumpLayout::HitTest(int nX, int nY, int nTop) const
{
    if (!IsLaidOut())
        return {};
    if (HasHeader() && m_rcHeader.Contains(nX, nY)) {
        for (int nKind = kFirstKind; nKind <= kLastKind; ++nKind) {
            if (HasHeaderBox(nKind) && m_rcHeaderCell[nKind].Contains(nX, nY))
                return {nKind, -1};
        }
        return {};
    }
    if (!(m_uStyle & kDumpColumnMask) || !m_rcData.Contains(nX, nY))
        return {};
    int nKind = kFirstKind;
    while (nKind <= kLastKind && !(HasColumn(nKind) && m_rcColumn[nKind].Contains(nX, nY)))
        ++nKind;
    if (nKind > kLastKind)
        return {};

    const int w = m_nCharWidth;
    const int L = m_nLineHeight;
    const SDumpRect& rcCol = m_rcColumn[nKind];
    SDumpRect rcHit;
    rcHit.top = rcCol.top + L / 4;
    rcHit.bottom = rcHit.top + L * ((rcCol.bottom - rcHit.top) / L);
    int nPos = 0;
    if (IsNumericKind(nKind)) {
        rcHit.left = rcCol.left + w / 2;
        rcHit.right = rcCol.right - w / 2 - 1;
        nPos = ((nX - rcHit.left) / w) / (m_digits[nKind] + 1);
    } else {
        rcHit.left = rcCol.left + w - 1;
        rcHit.right = rcCol.right - w - 1;
        nPos = (nX - rcHit.left) / (w + 1);
    }
    if (!rcHit.Contains(nX, nY))
        return {};
    if (nKind == kKindAddr)
        nPos = 0;
    const qint64 nIndex = static_cast<qint64>((nY - rcHit.top) / L) * PerRow() + nTop + nPos;
    if (nIndex >= m_nValues)
        return {};
    return {kColumnArea + nKind, static_cast<int>(nIndex)};
}

int CDumpLayout::ScrollMax() const
{
    if (m_nPerRow == 0)
        return 0;
    // Rows needed for every value, less the rows of one page. Counting the
    // partial last row only when the values overflow the page keeps a dump
    // that fits on one page free of a scroll bar.
    const qint64 nRows = (static_cast<qint64>(m_nValues) + m_nPerRow - 1) / m_nPerRow;
    const qint64 nMax = nRows - m_nPerPage / m_nPerRow;
    return nMax > 0 ? static_cast<int>(nMax) : 0;
}

int CDumpLayout::ScrollPos(int nTop) const
{
    return ScrollMax() == 0 ? 0 : nTop / PerRow();
}

bool CDumpLayout::EnsureVisible(int nIndex, int& nTop) const
{
    const int nPerRow = PerRow();
    const int nRowFirst = nPerRow * (nIndex / nPerRow);
    if (nRowFirst < nTop) {
        nTop = nRowFirst;
        return true;
    }
    if (nRowFirst < nTop + m_nPerPage)
        return false;
    // Without a whole visible row the row itself goes to the top.
    const int nPage = m_nPerPage > nPerRow ? m_nPerPage : nPerRow;
    nTop = nRowFirst + nPerRow - nPage;
    return true;
}
