// Mouse, wheel, scroll bar, keyboard and the in-place edit of CPPDumpCtrl.
#include "PPDumpCtrl.h"

#include "DumpText.h"
#include "NumberText.h"
#include "PPNumEdit.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

constexpr int kWheelNotch = 120;

bool IsAddressArea(int nArea)
{
    return nArea == kKindAddr || nArea == kColumnArea + kKindAddr;
}

QRect FrameRect(const SDumpRect& rc)
{
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

} // namespace

void CPPDumpCtrl::ClearHover()
{
    if (!m_rcHover.IsEmpty())
        update(FrameRect(m_rcHover));
    m_rcHover = SDumpRect{};
}

void CPPDumpCtrl::HoverAt(const QPoint& pt)
{
    if ((m_dwStyle & DCS_HOVERFRAME) && !m_rcHover.IsEmpty())
        update(FrameRect(m_rcHover));
    const SDumpHit hit = m_layout.HitTest(pt.x(), pt.y(), m_nTop);
    m_nHoverArea = hit.nArea;
    m_nHoverIndex = hit.nIndex;
    m_rcHover = hit.nArea < 0 ? SDumpRect{} : m_layout.GetAreaRect(hit.nIndex, hit.nArea, m_nTop);

    if (m_bSelecting && IsHoverOnValue()) {
        const int nStart = qMin(m_nHoverIndex, m_nAnchor);
        const int nEnd = qMax(m_nHoverIndex, m_nAnchor);
        if (nStart != m_nSelStart || nEnd != m_nSelEnd) {
            m_nSelStart = nStart;
            m_nSelEnd = nEnd;
            update();
        }
    }
    if ((m_dwStyle & DCS_HOVERFRAME) && !m_rcHover.IsEmpty())
        update(FrameRect(m_rcHover));
    if ((m_nHoverArea < 0 || m_nHoverArea > kColumnArea) && m_layout.HasHeader())
        RefreshHeaderValues();
}

void CPPDumpCtrl::mouseMoveEvent(QMouseEvent* pEvent)
{
    HoverAt(pEvent->position().toPoint());
    QWidget::mouseMoveEvent(pEvent);
}

void CPPDumpCtrl::leaveEvent(QEvent* pEvent)
{
    ClearHover();
    m_nHoverArea = -1;
    m_nHoverIndex = -1;
    RefreshHeaderValues();
    QWidget::leaveEvent(pEvent);
}

void CPPDumpCtrl::SetCaret(int nIndex)
{
    m_nSelStart = m_nSelEnd = m_nAnchor = nIndex;
}

void CPPDumpCtrl::mousePressEvent(QMouseEvent* pEvent)
{
    // The hover state normally comes from the moves before the click; a
    // press without one (touch, synthetic events) must find the same cell.
    HoverAt(pEvent->position().toPoint());
    if (pEvent->button() == Qt::LeftButton && IsHoverOnValue()) {
        CloseEdit();
        const int nIndex = qMax(m_nHoverIndex, 0);
        if (nIndex < m_nValues) {
            SetCaret(nIndex);
            EnsureVisible(nIndex);
        }
        m_bSelecting = (m_dwStyle & DCS_DRAGSELECT) != 0;
    }
    QWidget::mousePressEvent(pEvent);
}

void CPPDumpCtrl::mouseReleaseEvent(QMouseEvent* pEvent)
{
    m_bSelecting = false;
    QWidget::mouseReleaseEvent(pEvent);
}

void CPPDumpCtrl::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(pEvent);
        return;
    }
    HoverAt(pEvent->position().toPoint());
    bool bClosed = false;
    if (m_pEdit) {
        if (m_rcHover.IsEmpty()) {
            m_pEdit->setFocus();
            return;
        }
        const bool bAddress = IsAddressArea(m_nEditArea);
        if (!bAddress)
            CommitEdit(m_pEdit->GetNumber(), false);
        CloseEdit();
        bClosed = true;
        if (bAddress)
            update();
    }
    const bool bMayEdit = !m_rcHover.IsEmpty() && (!(m_dwStyle & DCS_READONLY) || IsAddressArea(m_nHoverArea));
    if (IsHoverOnValue()) {
        const int nIndex = qMax(m_nHoverIndex, 0);
        if (nIndex < m_nValues) {
            SetCaret(nIndex);
            EnsureVisible(nIndex);
        }
    }
    if (!bMayEdit) {
        QWidget::mouseDoubleClickEvent(pEvent);
        return;
    }
    int nIndex = m_nSelStart;
    if (m_nHoverArea == kColumnArea + kKindAddr)
        nIndex = m_nHoverIndex;
    else if (bClosed && m_nHoverArea <= kColumnArea)
        nIndex = -1;
    BeginEdit(m_nHoverArea, nIndex);
}

void CPPDumpCtrl::wheelEvent(QWheelEvent* pEvent)
{
    // One row per notch; finer wheels add up to a notch first.
    m_nWheelRest += pEvent->angleDelta().y();
    const int nNotches = m_nWheelRest / kWheelNotch;
    m_nWheelRest -= nNotches * kWheelNotch;
    if (nNotches != 0)
        ScrollRows(-nNotches);
    pEvent->accept();
}

bool CPPDumpCtrl::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // The bar on its own would scroll several rows a notch.
    if (pWatched == m_scrollBar && pEvent->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(pEvent));
        return true;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void CPPDumpCtrl::ScrollRows(int nRows)
{
    if (m_nEditArea > kColumnArea)
        CloseEdit();
    const int nPos = qBound(0, m_scrollBar->value() + nRows, m_scrollBar->maximum());
    m_scrollBar->setValue(nPos);
}

void CPPDumpCtrl::OnScrollValue(int nPos)
{
    if (m_nEditArea > kColumnArea)
        CloseEdit();
    const int nTop = nPos * m_layout.PerRow();
    if (nTop == m_nTop)
        return;
    m_nTop = nTop;
    update();
    // The content moved under a resting mouse: the frame and header follow it.
    if (underMouse())
        HoverAt(mapFromGlobal(QCursor::pos()));
}

void CPPDumpCtrl::MoveCaretTo(qint64 nTarget)
{
    const int nCaret = m_nSelStart;
    const int nPerRow = m_layout.PerRow();
    if (nTarget >= m_nValues) {
        const qint64 nNextRow = static_cast<qint64>(nPerRow) * (nCaret / nPerRow + 1);
        EnsureVisible(nNextRow < m_nValues ? m_nValues - 1 : nCaret);
    } else if (nTarget < 0) {
        EnsureVisible(0);
    } else {
        SetCaret(static_cast<int>(nTarget));
        EnsureVisible(static_cast<int>(nTarget));
    }
}

void CPPDumpCtrl::keyPressEvent(QKeyEvent* pEvent)
{
    if (PreTranslateKey(pEvent))
        return;
    const qint64 c = m_nSelStart;
    const qint64 R = m_layout.PerRow();
    const qint64 N = m_nValues;
    const bool bControl = pEvent->modifiers() & Qt::ControlModifier;
    qint64 t = 0;
    switch (pEvent->key()) {
    case Qt::Key_PageUp:
        t = c - m_layout.PerPage();
        if (t < 0)
            t = c % R;
        break;
    case Qt::Key_PageDown:
        t = c + m_layout.PerPage();
        break;
    case Qt::Key_End:
        t = bControl ? N - 1 : qMin(R * (c / R + 1) - 1, N - 1);
        break;
    case Qt::Key_Home:
        t = bControl ? 0 : R * (c / R);
        break;
    case Qt::Key_Left:
        t = c - 1;
        break;
    case Qt::Key_Right:
        t = c + 1;
        break;
    case Qt::Key_Up:
        t = c - R;
        break;
    case Qt::Key_Down:
        t = c + R;
        break;
    default:
        QWidget::keyPressEvent(pEvent);
        return;
    }
    CloseEdit();
    MoveCaretTo(t);
}

bool CPPDumpCtrl::PreTranslateKey(QKeyEvent* pEvent)
{
    const bool bControl = pEvent->modifiers() & Qt::ControlModifier;
    if (bControl) {
        int nKind = 0;
        switch (pEvent->key()) {
        case Qt::Key_A: nKind = kKindAscii; break;
        case Qt::Key_B: nKind = kKindBin; break;
        case Qt::Key_D: nKind = kKindDec; break;
        case Qt::Key_H: nKind = kKindHex; break;
        case Qt::Key_O: nKind = kKindOct; break;
        default: return false;
        }
        if ((m_dwStyle & DCS_READONLY) || !m_layout.HasHeaderBox(nKind))
            return true;
        m_nEditArea = nKind;
        m_nEditIndex = m_nSelStart;
        RefreshHeaderValues();
        BeginEdit(-1, -1);
        return true;
    }
    if (!bControl && (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter)) {
        // Swallowed even when nothing opens, so Enter on the dump never
        // reaches the dialog's default button.
        if (!m_pEdit) {
            m_nEditIndex = m_nSelStart;
            m_nEditArea = NextKind(kColumnArea + kKindAddr);
            BeginEdit(-1, -1);
        }
        return true;
    }
    return false;
}

void CPPDumpCtrl::focusInEvent(QFocusEvent* pEvent)
{
    m_bFocused = true;
    update();
    QWidget::focusInEvent(pEvent);
}

void CPPDumpCtrl::focusOutEvent(QFocusEvent* pEvent)
{
    QWidget::focusOutEvent(pEvent);
    m_bFocused = false;
    update();
}

int CPPDumpCtrl::NextKind(int nArea) const
{
    int nNext = nArea;
    for (int n = 0; n < 5; ++n) {
        ++nNext;
        if ((nNext & 0x0F) > kLastKind)
            nNext = (nNext & ~0x0F) | kKindHex;
        if (nNext >= 1 && nNext <= kColumnArea + kLastKind && m_layout.HasArea(nNext))
            return nNext;
    }
    return nArea;
}

int CPPDumpCtrl::PreviousKind(int nArea) const
{
    int nPrevious = nArea;
    for (int n = 0; n < 5; ++n) {
        --nPrevious;
        if ((nPrevious & 0x0F) < kKindHex)
            nPrevious = (nPrevious & ~0x0F) | kLastKind;
        if (nPrevious >= 1 && nPrevious <= kColumnArea + kLastKind && m_layout.HasArea(nPrevious))
            return nPrevious;
    }
    return nArea;
}

void CPPDumpCtrl::CloseEdit()
{
    if (!m_pEdit)
        return;
    CPPNumEdit* pEdit = m_pEdit;
    m_pEdit = nullptr;
    const bool bHadFocus = pEdit->hasFocus();
    pEdit->disconnect(this);
    pEdit->hide();
    // The edit may be closing from inside its own key handler.
    pEdit->deleteLater();
    if (bHadFocus)
        setFocus(Qt::OtherFocusReason);
}

void CPPDumpCtrl::BeginEdit(int nArea, int nIndex)
{
    if (nIndex >= 0)
        m_nEditIndex = nIndex;
    if (nArea >= 0)
        m_nEditArea = nArea;
    CloseEdit();
    const int nKind = m_nEditArea & 0x0F;
    if ((m_dwStyle & DCS_READONLY) && nKind != kKindAddr)
        return;
    // An empty dump has no index to go to and no value to edit.
    if (m_nValues <= 0 || m_nEditIndex < 0 || m_nEditIndex >= m_nValues || nKind < kFirstKind || nKind > kLastKind)
        return;
    if (m_nEditArea > kColumnArea)
        EnsureVisible(m_nEditIndex);

    auto* pEdit = new CPPNumEdit(this);
    pEdit->setObjectName(QStringLiteral("1"));
    pEdit->setGeometry(GetAreaRect(m_nEditIndex, m_nEditArea));
    pEdit->setFont(m_font);
    pEdit->setFrame(false);
    pEdit->setAlignment(Qt::AlignCenter);
    pEdit->SetOkTextColor(m_clrEditText);
    pEdit->SetOkBackColor(m_clrEditBack);
    pEdit->SetBadTextColor(m_clrEditBadText);
    pEdit->SetBadBackColor(m_clrEditBadBack);
    if (nKind == kKindAddr) {
        pEdit->SetNumber(static_cast<quint32>(m_nEditIndex), CNumberText::kHexadecimal, 0, 0,
                         static_cast<quint32>(m_nValues - 1));
    } else {
        static const int kBaseOfKind[] = {0, 0, CNumberText::kHexadecimal, CNumberText::kDecimal,
                                          CNumberText::kBinary, CNumberText::kOctal, CNumberText::kCharacter};
        const quint32 uValue = CDumpText::ReadValue(m_pData, m_nDataBytes, m_nEditIndex, m_dwStyle);
        pEdit->SetNumber(uValue, kBaseOfKind[nKind], m_layout.ValueBytes() == 2 ? 2 : 1, 0, 0);
    }
    connect(pEdit, &CPPNumEdit::EditReport, this, &CPPDumpCtrl::OnEditReport);
    m_pEdit = pEdit;
    pEdit->show();
    pEdit->setFocus(Qt::OtherFocusReason);
    pEdit->selectAll();
}

bool CPPDumpCtrl::CommitEdit(quint32 uValue, bool bClose)
{
    if (!m_pEdit || !m_pEdit->IsInRange())
        return false;
    if (m_pEdit->IsTextChanged() && IsAddressArea(m_nEditArea) && uValue < static_cast<quint32>(m_nValues)) {
        // Values are never written: only the address edit acts on a commit.
        CloseEdit();
        SetCaret(static_cast<int>(uValue));
        EnsureVisible(static_cast<int>(uValue));
    }
    if (bClose) {
        CloseEdit();
        update();
    }
    return true;
}

void CPPDumpCtrl::MoveEdit(quint32 uValue, int nMove)
{
    CommitEdit(uValue, true);
    const qint64 c = m_nSelStart;
    const qint64 R = m_layout.PerRow();
    qint64 t = c;
    switch (nMove) {
    case CPPNumEdit::kMoveRowStart: t = R * (c / R); break;
    case CPPNumEdit::kMoveRowEnd: t = qMin(R * (c / R + 1) - 1, static_cast<qint64>(m_nValues) - 1); break;
    case CPPNumEdit::kMovePrevious: t = c - 1; break;
    case CPPNumEdit::kMoveNext: t = c + 1; break;
    case CPPNumEdit::kMoveUp: t = c - R; break;
    case CPPNumEdit::kMoveDown: t = c + R; break;
    case CPPNumEdit::kMoveNextKind: m_nEditArea = NextKind(m_nEditArea); break;
    case CPPNumEdit::kMovePreviousKind: m_nEditArea = PreviousKind(m_nEditArea); break;
    case CPPNumEdit::kMovePageUp:
        t = c - m_layout.PerPage();
        if (t < 0)
            t = c % R;
        break;
    case CPPNumEdit::kMovePageDown: t = c + m_layout.PerPage(); break;
    default: break;
    }
    MoveCaretTo(t);
    m_nEditIndex = m_nSelStart;
    BeginEdit(-1, -1);
}

void CPPDumpCtrl::SwitchEditKind(int nBaseCode)
{
    const int nKind = nBaseCode - CPPNumEdit::kBaseHex + kKindHex;
    if (nKind < kKindHex || nKind > kKindAscii || !m_layout.HasHeaderBox(nKind) || m_nEditArea == nKind)
        return;
    CloseEdit();
    m_nEditArea = nKind;
    RefreshHeaderValues();
    BeginEdit(-1, -1);
}

void CPPDumpCtrl::OnEditReport(int nCode, int nFirst, quint32 uValue)
{
    switch (nCode) {
    case CPPNumEdit::kReportEnter:
        CommitEdit(uValue, true);
        break;
    case CPPNumEdit::kReportEscape:
        CloseEdit();
        update();
        break;
    case CPPNumEdit::kReportMove:
        if (!IsAddressArea(m_nEditArea))
            MoveEdit(uValue, nFirst);
        break;
    case CPPNumEdit::kReportBase:
        if (!(m_dwStyle & DCS_READONLY))
            SwitchEditKind(nFirst);
        break;
    default:
        break;
    }
}
