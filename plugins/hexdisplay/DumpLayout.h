#pragma once

#include <QtGlobal>

#include <array>

// Style word of the dump control: which columns and header boxes exist and
// how values are read and selected.
enum : quint32 {
    DCS_COL_ADDR = 0x000001,
    DCS_COL_HEX = 0x000002,
    DCS_COL_DEC = 0x000004,
    DCS_COL_BIN = 0x000008,
    DCS_COL_OCT = 0x000010,
    DCS_COL_ASCII = 0x000020,
    DCS_HDR_ADDR = 0x000100,
    DCS_HDR_HEX = 0x000200,
    DCS_HDR_DEC = 0x000400,
    DCS_HDR_BIN = 0x000800,
    DCS_HDR_OCT = 0x001000,
    DCS_HDR_ASCII = 0x002000,
    DCS_SEPARATORS = 0x010000,
    DCS_WORDS = 0x020000,
    DCS_CAPTIONS = 0x040000,
    DCS_READONLY = 0x080000,
    DCS_DRAGSELECT = 0x100000,
    DCS_LITTLE_ENDIAN = 0x200000,
    DCS_HOVERFRAME = 0x400000,
};

constexpr quint32 kDumpColumnMask = 0x3F;
constexpr quint32 kDumpHeaderMask = 0x3F00;

// Notations; a header box of kind k is area k, a column of kind k is area 16 + k.
enum EDumpKind { kKindAddr = 1, kKindHex, kKindDec, kKindBin, kKindOct, kKindAscii };
constexpr int kFirstKind = kKindAddr;
constexpr int kLastKind = kKindAscii;
constexpr int kColumnArea = 16;

// A rectangle with an exclusive right and bottom edge, so that the layout
// arithmetic reads as widths added to left edges.
struct SDumpRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int nX, int nY) const { return nX >= left && nX < right && nY >= top && nY < bottom; }
    bool operator==(const SDumpRect& rc) const
    {
        return left == rc.left && top == rc.top && right == rc.right && bottom == rc.bottom;
    }
};

struct SDumpHit
{
    int nArea = -1;
    int nIndex = -1;
};

// Geometry of the dump control without any widget: digit widths, columns,
// header boxes, rows, hit testing and the scroll range, from the client size,
// the character width w, the row height L and the scroll bar width s.
class CDumpLayout
{
public:
    static const char* Caption(int nKind);

    // Also recomputes the value count and digit widths for the new value size.
    void SetStyle(quint32 uStyle);
    quint32 Style() const { return m_uStyle; }
    bool HasColumn(int nKind) const { return (m_uStyle & ColumnBit(nKind)) != 0; }
    bool HasHeaderBox(int nKind) const { return (m_uStyle & HeaderBit(nKind)) != 0; }
    bool HasHeader() const { return (m_uStyle & kDumpHeaderMask) != 0; }
    bool HasArea(int nArea) const;
    static quint32 ColumnBit(int nKind) { return 1u << (nKind - 1); }
    static quint32 HeaderBit(int nKind) { return 0x100u << (nKind - 1); }

    // Number of values for that many bytes under the current value size;
    // recomputes the digit widths.
    void SetDataBytes(int nBytes);
    int Values() const { return m_nValues; }
    int DataBytes() const { return m_nDataBytes; }
    int ValueBytes() const { return (m_uStyle & DCS_WORDS) ? 2 : 1; }
    int Digits(int nKind) const { return m_digits[nKind]; }
    static int AddressDigits(int nValues);

    // Recomputes everything from the client rectangle and font metrics.
    void Layout(const SDumpRect& rcClient, int nCharWidth, int nLineHeight, int nScrollWidth);
    bool IsLaidOut() const { return m_nCharWidth > 0 && m_nLineHeight > 0; }

    int CharWidth() const { return m_nCharWidth; }
    int LineHeight() const { return m_nLineHeight; }
    // Values per row as laid out; 0 when the window is too narrow for one.
    int PerRowLaidOut() const { return m_nPerRow; }
    // Values per row for hit testing, keys and scrolling: never 0.
    int PerRow() const { return m_nPerRow > 0 ? m_nPerRow : 1; }
    int PerPage() const { return m_nPerPage; }
    const SDumpRect& Column(int nKind) const { return m_rcColumn[nKind]; }
    const SDumpRect& HeaderCell(int nKind) const { return m_rcHeaderCell[nKind]; }
    const SDumpRect& Header() const { return m_rcHeader; }
    const SDumpRect& Data() const { return m_rcData; }
    const SDumpRect& Client() const { return m_rcClient; }
    // Top of the caption row, or -1 without one.
    int CaptionTop() const { return m_nCaptionTop; }
    int FirstRowTop() const { return m_rcData.top + m_nLineHeight / 4; }

    SDumpRect GetAreaRect(int nIndex, int nArea, int nTop) const;
    SDumpHit HitTest(int nX, int nY, int nTop) const;

    int ScrollMax() const;
    int ScrollPos(int nTop) const;
    // The top index that shows nIndex's row; returns whether it differs from nTop.
    bool EnsureVisible(int nIndex, int& nTop) const;

private:
    quint32 m_uStyle = 0;
    int m_nDataBytes = 0;
    int m_nValues = 0;
    std::array<int, kLastKind + 1> m_digits{};

    int m_nCharWidth = 0;
    int m_nLineHeight = 0;
    int m_nPerRow = 0;
    int m_nPerPage = 0;
    int m_nCaptionTop = -1;
    SDumpRect m_rcClient;
    SDumpRect m_rcHeader;
    SDumpRect m_rcData;
    std::array<SDumpRect, kLastKind + 1> m_rcColumn{};
    std::array<SDumpRect, kLastKind + 1> m_rcHeaderCell{};

    void LayOutHeader(int nCharWidth, int nLineHeight);
};
