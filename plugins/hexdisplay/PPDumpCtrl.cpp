#include "PPDumpCtrl.h"

#include "DumpText.h"
#include "PPNumEdit.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>

#include <cstring>

namespace {

QRect ToQRect(const SDumpRect& rc)
{
    return rc.IsEmpty() ? QRect() : QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

// Band from (l, t) to the exclusive corner (r, b); nothing when inverted.
void FillBand(QPainter& dc, int l, int t, int r, int b, const QColor& clr)
{
    if (r > l && b > t)
        dc.fillRect(l, t, r - l, b - t, clr);
}

} // namespace

CPPDumpCtrl::CPPDumpCtrl(QWidget* pParent)
    : QWidget(pParent)
{
    setObjectName(QStringLiteral("MFCDumpCtrl"));
    // The whole area is painted in one pass into Qt's back buffer; an erase
    // before it would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);

    const QPalette pal = palette();
    m_clrText = pal.color(QPalette::Text);
    m_clrBack = pal.color(QPalette::Base);
    m_clrLines = pal.color(QPalette::Dark);
    m_clrCaption = m_clrLines;
    m_clrHoverFrame = m_clrLines;
    m_clrDisabledText = m_clrLines;
    m_clrDisabledBack = pal.color(QPalette::Button);

    m_scrollBar = new QScrollBar(Qt::Vertical, this);
    m_scrollBar->setObjectName(QStringLiteral("100"));
    m_scrollBar->setRange(0, 0);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &CPPDumpCtrl::OnScrollValue);
    m_scrollBar->installEventFilter(this);

    m_layout.SetStyle(kInitialStyle);
    CreateDumpFont();
}

CPPDumpCtrl::~CPPDumpCtrl() = default;

void CPPDumpCtrl::CreateDumpFont()
{
    CloseEdit();
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(8);
    m_font = font;
    ClearCellCache();
}

void CPPDumpCtrl::ClearCellCache()
{
    for (auto& vecCells : m_cellCache)
        vecCells.clear();
}

const QStaticText* CPPDumpCtrl::CachedCell(int nKind, quint32 uValue)
{
    // Control characters without a placeholder would break the text into lines.
    if (uValue > 0xFF || (nKind == kKindAscii && uValue < 32 && m_chPlaceholder.isNull()))
        return nullptr;
    std::vector<QStaticText>& vecCells = m_cellCache[nKind];
    if (vecCells.empty())
        vecCells.resize(256);
    QStaticText& text = vecCells[uValue];
    if (text.text().isEmpty()) {
        text.setTextFormat(Qt::PlainText);
        text.setPerformanceHint(QStaticText::AggressiveCaching);
        text.setText(CDumpText::ValueCell(nKind, uValue, 1, m_layout.Digits(nKind), m_chPlaceholder));
        text.prepare(QTransform(), m_font);
    }
    return &text;
}

void CPPDumpCtrl::LoadBytes(const char* pData, int nLength)
{
    CloseEdit();
    m_pData = reinterpret_cast<const uchar*>(pData);
    m_nDataBytes = pData && nLength > 0 ? nLength : 0;
    m_nTop = 0;
    m_layout.SetDataBytes(m_nDataBytes);
    m_nValues = m_layout.Values();
    if (m_nValues > 0)
        m_nSelStart = m_nSelEnd = m_nAnchor = 0;
    // More values can widen the address column and so change the row width.
    if (m_layout.IsLaidOut())
        Relayout();
    UpdateScrollBar();
    update();
}

void CPPDumpCtrl::SetDumpStyle(quint32 uStyle, bool bRedraw)
{
    CloseEdit();
    const bool bWordsChanged = ((uStyle ^ m_dwStyle) & DCS_WORDS) != 0;
    m_dwStyle = uStyle;
    m_layout.SetStyle(uStyle);
    ClearCellCache();
    m_nValues = m_layout.Values();
    if ((m_nValues > 0 && m_layout.PerRowLaidOut() != 0) || bWordsChanged)
        m_nTop = 0;
    if (m_nValues > 0)
        m_nSelStart = m_nSelEnd = m_nAnchor = m_nTop;
    if (m_layout.IsLaidOut())
        Relayout();
    UpdateScrollBar();
    if (bRedraw)
        update();
}

bool CPPDumpCtrl::EnsureVisible(int nIndex)
{
    const bool bMoved = m_layout.EnsureVisible(nIndex, m_nTop);
    if (m_nTop < 0)
        m_nTop = 0;
    UpdateScrollBar();
    update();
    return bMoved;
}

QRect CPPDumpCtrl::GetAreaRect(int nIndex, int nArea) const
{
    return ToQRect(m_layout.GetAreaRect(nIndex, nArea, m_nTop));
}

void CPPDumpCtrl::Relayout()
{
    const QFontMetrics fm(m_font);
    // Cells are placed by character count, so the width must be the pitch of
    // the fixed-pitch font. Its declared average width would be that pitch,
    // but fonts with CJK glyphs declare an average far wider than a digit.
    const int nCharWidth = qMax(1, fm.horizontalAdvance(QLatin1Char('0')));
    const int nLineHeight = qMax(1, static_cast<int>(fm.height() * 1.2));
    const int nScroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    m_layout.Layout({0, 0, width(), height()}, nCharWidth, nLineHeight, nScroll);
    // A new row width would otherwise start the top row mid-row.
    const int nPerRow = m_layout.PerRow();
    m_nTop = qMin(m_nTop / nPerRow, m_layout.ScrollMax()) * nPerRow;
}

void CPPDumpCtrl::UpdateScrollBar()
{
    if (!m_layout.IsLaidOut())
        return;
    const int nMax = m_layout.ScrollMax();
    const SDumpRect& rcData = m_layout.Data();
    const int nScroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QSignalBlocker blocker(m_scrollBar);
    m_scrollBar->setRange(0, nMax);
    m_scrollBar->setPageStep(qMax(1, m_layout.PerPage() / m_layout.PerRow()));
    m_scrollBar->setValue(m_layout.ScrollPos(m_nTop));
    m_scrollBar->setGeometry(rcData.right - nScroll, rcData.top, nScroll, qMax(0, rcData.bottom - rcData.top));
    m_scrollBar->setEnabled(isEnabled());
    m_scrollBar->setVisible(nMax > 0);
}

void CPPDumpCtrl::resizeEvent(QResizeEvent* pEvent)
{
    CloseEdit();
    QWidget::resizeEvent(pEvent);
    Relayout();
    UpdateScrollBar();
}

void CPPDumpCtrl::changeEvent(QEvent* pEvent)
{
    QWidget::changeEvent(pEvent);
    if (pEvent->type() == QEvent::EnabledChange) {
        m_scrollBar->setEnabled(isEnabled());
        update();
    } else if (pEvent->type() == QEvent::FontChange || pEvent->type() == QEvent::StyleChange) {
        Relayout();
        UpdateScrollBar();
    }
}

void CPPDumpCtrl::paintEvent(QPaintEvent* pEvent)
{
    if (m_nSelStart >= m_nValues)
        m_nSelStart = m_nSelEnd = 0;
    const bool bDisabled = !isEnabled();
    if (bDisabled)
        CloseEdit();

    QPainter dc(this);
    dc.fillRect(rect(), bDisabled ? m_clrDisabledBack : m_clrBack);
    dc.setFont(m_font);
    dc.setPen(bDisabled ? m_clrDisabledText : m_clrText);

    const int nOldTop = m_nTop;
    Relayout();
    if (m_nTop != nOldTop || m_scrollBar->maximum() != m_layout.ScrollMax())
        UpdateScrollBar();
    DrawHeader(dc, bDisabled);
    DrawCaptions(dc, bDisabled);
    const QRect rcPaint = pEvent->rect();
    for (int nKind = kFirstKind; nKind <= kLastKind; ++nKind)
        DrawColumn(dc, nKind, bDisabled, rcPaint.top(), rcPaint.bottom() + 1);

    if (!m_rcHover.IsEmpty() && (m_dwStyle & DCS_HOVERFRAME)) {
        dc.setPen(m_clrHoverFrame);
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(m_rcHover.left, m_rcHover.top, m_rcHover.right - m_rcHover.left - 1,
                    m_rcHover.bottom - m_rcHover.top - 1);
    }
    if (m_bFocused) {
        QPen pen(palette().color(QPalette::Text));
        pen.setStyle(Qt::DotLine);
        dc.setPen(pen);
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

int CPPDumpCtrl::DrawCell(QPainter& dc, const QString& strCell, bool bFill, bool bSelected, bool bDisabled, int x,
                          int y, int nBottom, const QStaticText* pText)
{
    const int w = m_layout.CharWidth();
    const int L = m_layout.LineHeight();
    const int nChars = pText ? static_cast<int>(pText->text().size()) : static_cast<int>(strCell.size());
    const int nRight = x + nChars * w;
    if (!bDisabled) {
        if (bFill)
            FillBand(dc, x, y, nRight, nBottom, m_clrBack);
        if (bSelected)
            FillBand(dc, x + w / 2 + 1, y + 1, nRight - w / 2 - 2, y + L - 1, m_clrSelection);
    }
    if (pText)
        dc.drawStaticText(x, y, *pText);
    else
        dc.drawText(x, y + dc.fontMetrics().ascent(), strCell);
    return nRight;
}

int CPPDumpCtrl::DrawCharCell(QPainter& dc, const QString& strCell, bool bFill, bool bSelected, bool bDisabled,
                              int x, int y, int nBottom, const QStaticText* pText)
{
    const int w = m_layout.CharWidth();
    const int L = m_layout.LineHeight();
    const int nChars = pText ? static_cast<int>(pText->text().size()) : static_cast<int>(strCell.size());
    const int nRight = x + nChars * w + 1;
    if (!bDisabled) {
        if (bFill)
            FillBand(dc, x, y, nRight, nBottom, m_clrBack);
        if (bSelected)
            FillBand(dc, x + w, y + 1, nRight - w - 1, y + L - 1, m_clrSelection);
    }
    if (pText)
        dc.drawStaticText(x, y, *pText);
    else
        dc.drawText(x, y + dc.fontMetrics().ascent(), strCell);
    return nRight;
}

int CPPDumpCtrl::HeaderIndex() const
{
    const bool bHoverOnCell = !m_rcHover.IsEmpty() && m_nHoverArea >= kColumnArea;
    if (m_pEdit) {
        if (m_nEditArea > kColumnArea && bHoverOnCell)
            return m_nHoverIndex;
        return m_nEditIndex;
    }
    return bHoverOnCell ? m_nHoverIndex : m_nSelStart;
}

QString CPPDumpCtrl::CellText(int nKind, int nIndex) const
{
    const int nDigits = m_layout.Digits(nKind);
    if (nKind == kKindAddr)
        return nIndex >= 0 ? CDumpText::AddressCell(nIndex, nDigits) : CDumpText::BlankCell(nDigits);
    // An empty dump has no value to show, not the byte behind its end.
    if (nIndex < 0 || nIndex >= m_nValues)
        return CDumpText::BlankCell(nDigits);
    const quint32 uValue = CDumpText::ReadValue(m_pData, m_nDataBytes, nIndex, m_dwStyle);
    return CDumpText::ValueCell(nKind, uValue, m_layout.ValueBytes(), nDigits, m_chPlaceholder);
}

void CPPDumpCtrl::DrawHeader(QPainter& dc, bool bDisabled)
{
    if (!m_layout.HasHeader())
        return;
    const SDumpRect& rcHeader = m_layout.Header();
    const QPalette pal = palette();
    // The bar keeps its button colours even when the control is disabled.
    const QRect rc = ToQRect(rcHeader);
    dc.fillRect(rc, pal.color(QPalette::Button));
    dc.setPen(pal.color(QPalette::Light));
    dc.drawLine(rc.left(), rc.top(), rc.right(), rc.top());
    dc.drawLine(rc.left(), rc.top(), rc.left(), rc.bottom());
    dc.setPen(pal.color(QPalette::Dark));
    dc.drawLine(rc.left(), rc.bottom(), rc.right(), rc.bottom());
    dc.drawLine(rc.right(), rc.top(), rc.right(), rc.bottom());

    dc.setPen(bDisabled ? m_clrDisabledText : m_clrText);
    const int w = m_layout.CharWidth();
    const int nIndex = HeaderIndex();
    for (int nKind = kFirstKind; nKind <= kLastKind; ++nKind) {
        const SDumpRect& rcBox = m_layout.HeaderCell(nKind);
        if (!m_layout.HasHeaderBox(nKind) || rcBox.IsEmpty())
            continue;
        const char* pszCaption = CDumpLayout::Caption(nKind);
        const int nCaption = static_cast<int>(std::strlen(pszCaption));
        dc.drawText(rcBox.left - (nCaption + 1) * w, rcBox.top + dc.fontMetrics().ascent(),
                    QLatin1String(pszCaption) + QLatin1Char(':'));
        DrawCell(dc, CellText(nKind, nIndex), true, false, bDisabled, rcBox.left, rcBox.top, rcBox.bottom);
    }
}

void CPPDumpCtrl::RefreshHeaderValues()
{
    if (m_layout.HasHeader())
        update(ToQRect(m_layout.Header()));
}

void CPPDumpCtrl::DrawCaptions(QPainter& dc, bool bDisabled)
{
    const int y = m_layout.CaptionTop();
    if (y < 0)
        return;
    const int L = m_layout.LineHeight();
    const int nRight = width();
    dc.fillRect(0, y, nRight, L, bDisabled ? m_clrDisabledBack : m_clrBack);
    const QColor clrLines = bDisabled ? m_clrDisabledText : m_clrLines;
    dc.setPen(clrLines);
    dc.drawLine(0, y + L, nRight, y + L);
    for (int nKind = kFirstKind; nKind <= kLastKind; ++nKind) {
        const SDumpRect& rcCol = m_layout.Column(nKind);
        if (!m_layout.HasColumn(nKind) || rcCol.right <= rcCol.left)
            continue;
        dc.setPen(bDisabled ? m_clrDisabledText : m_clrCaption);
        dc.drawText(QRect(rcCol.left, y, rcCol.right - rcCol.left, L), Qt::AlignCenter | Qt::TextSingleLine,
                    QLatin1String(CDumpLayout::Caption(nKind)));
        dc.setPen(clrLines);
        dc.drawLine(rcCol.right, y, rcCol.right, y + L);
    }
}

void CPPDumpCtrl::DrawColumn(QPainter& dc, int nKind, bool bDisabled, int nPaintTop, int nPaintBottom)
{
    if (!m_layout.HasColumn(nKind))
        return;
    const int nPerRow = m_layout.PerRowLaidOut();
    const SDumpRect& rcCol = m_layout.Column(nKind);
    const int w = m_layout.CharWidth();
    const int L = m_layout.LineHeight();
    const QColor clrLines = bDisabled ? m_clrDisabledText : m_clrLines;
    if ((m_dwStyle & DCS_SEPARATORS) && rcCol.right > rcCol.left) {
        dc.setPen(clrLines);
        dc.drawLine(rcCol.right, rcCol.top, rcCol.right, rcCol.bottom);
    }
    if (nPerRow == 0 || rcCol.right <= rcCol.left)
        return;
    dc.setPen(bDisabled ? m_clrDisabledText : (nKind == kKindAddr ? m_clrAddress : m_clrText));

    // Only whole rows from the top index are drawn, and of those only the
    // ones the repaint touches: a hover frame repaints one row, not a page.
    const int nValueBytes = m_layout.ValueBytes();
    const int nDigits = m_layout.Digits(nKind);
    const int nRowTop = rcCol.top + L / 4;
    int nFirstRow = nPaintTop > nRowTop ? (nPaintTop - nRowTop) / L : 0;
    qint64 nIndex = m_nTop + static_cast<qint64>(nFirstRow) * nPerRow;
    for (int y = nRowTop + nFirstRow * L; nIndex < m_nValues && y <= rcCol.bottom - L && y < nPaintBottom;
         y += L) {
        if (nKind == kKindAddr) {
            DrawCell(dc, CDumpText::AddressCell(static_cast<int>(nIndex), nDigits), false, false, bDisabled,
                     rcCol.left, y, y + L);
            nIndex += nPerRow;
            continue;
        }
        int x = rcCol.left;
        for (int nPos = 0; nPos < nPerRow && nIndex < m_nValues; ++nPos, ++nIndex) {
            const quint32 uValue = CDumpText::ReadValue(m_pData, m_nDataBytes, static_cast<int>(nIndex), m_dwStyle);
            const QStaticText* pText = nValueBytes == 1 ? CachedCell(nKind, uValue) : nullptr;
            const QString strCell =
                pText ? QString() : CDumpText::ValueCell(nKind, uValue, nValueBytes, nDigits, m_chPlaceholder);
            const bool bSelected = m_nSelStart <= nIndex && nIndex <= m_nSelEnd;
            if (nKind == kKindAscii)
                x = DrawCharCell(dc, strCell, false, bSelected, bDisabled, x, y, y + L, pText) - 2 * w;
            else
                x = DrawCell(dc, strCell, false, bSelected, bDisabled, x, y, y + L, pText) - w;
        }
    }
}
