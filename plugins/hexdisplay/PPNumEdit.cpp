#include "PPNumEdit.h"

#include "NumberText.h"

#include <QKeyEvent>
#include <QPalette>

CPPNumEdit::CPPNumEdit(QWidget* pParent)
    : QLineEdit(pParent)
{
    m_clrOkBack = palette().color(QPalette::Base);
    m_clrOkText = palette().color(QPalette::Text);
    setAutoFillBackground(true);
    connect(this, &QLineEdit::textChanged, this, &CPPNumEdit::OnTextChanged);
}

void CPPNumEdit::SetNumber(quint32 uValue, int nBase, int nRangeMode, quint32 uBoundA, quint32 uBoundB)
{
    const CNumberText::SRange range = CNumberText::RangeFor(nRangeMode, uBoundA, uBoundB);
    m_nMin = range.uMin;
    m_nMax = range.uMax;
    m_nBase = nBase >= CNumberText::kDecimal && nBase <= CNumberText::kCharacter ? nBase : CNumberText::kDecimal;
    m_nValue = uValue >= m_nMin && uValue <= m_nMax ? uValue : m_nMin;
    m_nMaxChars = CNumberText::MaxChars(m_nMax, m_nBase);
    m_strText = CNumberText::Format(m_nValue, m_nBase, m_nMaxChars);
    m_strInitial = m_strText;
    setText(m_strText);
    OnTextChanged();
}

quint32 CPPNumEdit::GetNumber()
{
    m_strText = text();
    return CNumberText::Parse(m_strText, m_nBase);
}

bool CPPNumEdit::IsInRange()
{
    const quint32 uValue = GetNumber();
    return uValue >= m_nMin && uValue <= m_nMax;
}

void CPPNumEdit::SetOkTextColor(const QColor& clr)
{
    m_clrOkText = clr;
    ApplyColors();
}

void CPPNumEdit::SetOkBackColor(const QColor& clr)
{
    m_clrOkBack = clr;
    ApplyColors();
}

void CPPNumEdit::SetBadTextColor(const QColor& clr)
{
    m_clrBadText = clr;
    ApplyColors();
}

void CPPNumEdit::SetBadBackColor(const QColor& clr)
{
    m_clrBadBack = clr;
    ApplyColors();
}

void CPPNumEdit::OnTextChanged()
{
    m_bInRange = IsInRange();
    ApplyColors();
}

void CPPNumEdit::ApplyColors()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, m_bInRange ? m_clrOkBack : m_clrBadBack);
    pal.setColor(QPalette::Window, m_bInRange ? m_clrOkBack : m_clrBadBack);
    pal.setColor(QPalette::Text, m_bInRange ? m_clrOkText : m_clrBadText);
    setPalette(pal);
}

void CPPNumEdit::Report(int nCode, int nFirst)
{
    emit EditReport(nCode, nFirst, GetNumber());
}

bool CPPNumEdit::event(QEvent* pEvent)
{
    // Tab would otherwise move the focus before keyPressEvent sees it, and
    // Enter and Escape would reach the dialog's buttons.
    if (pEvent->type() == QEvent::KeyPress && PreTranslateKey(static_cast<QKeyEvent*>(pEvent)))
        return true;
    if (pEvent->type() == QEvent::ShortcutOverride) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (pKey->modifiers() & Qt::ControlModifier) {
            pEvent->accept();
            return true;
        }
    }
    return QLineEdit::event(pEvent);
}

bool CPPNumEdit::PreTranslateKey(QKeyEvent* pEvent)
{
    const bool bControl = pEvent->modifiers() & Qt::ControlModifier;
    switch (pEvent->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (IsInRange()) {
            const bool bBack = pEvent->key() == Qt::Key_Backtab || (pEvent->modifiers() & Qt::ShiftModifier);
            Report(kReportMove, bBack ? kMovePreviousKind : kMoveNextKind);
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (IsInRange())
            Report(kReportEnter, 1);
        return true;
    case Qt::Key_Escape:
        Report(kReportEscape, 0);
        return true;
    default:
        break;
    }
    if (!bControl)
        return false;
    int nBaseCode = 0;
    switch (pEvent->key()) {
    case Qt::Key_H: nBaseCode = kBaseHex; break;
    case Qt::Key_D: nBaseCode = kBaseDec; break;
    case Qt::Key_B: nBaseCode = kBaseBin; break;
    case Qt::Key_O: nBaseCode = kBaseOct; break;
    case Qt::Key_A: nBaseCode = kBaseChar; break;
    default: return false;
    }
    if (IsInRange())
        Report(kReportBase, nBaseCode);
    return true;
}

void CPPNumEdit::keyPressEvent(QKeyEvent* pEvent)
{
    const bool bControl = pEvent->modifiers() & Qt::ControlModifier;
    const bool bNoSelection = !hasSelectedText();
    int nMove = 0;
    switch (pEvent->key()) {
    case Qt::Key_PageUp: nMove = kMovePageUp; break;
    case Qt::Key_PageDown: nMove = kMovePageDown; break;
    case Qt::Key_Home: nMove = bControl ? kMoveRowStart : 0; break;
    case Qt::Key_End: nMove = bControl ? kMoveRowEnd : 0; break;
    case Qt::Key_Left: nMove = bControl || (cursorPosition() == 0 && bNoSelection) ? kMovePrevious : 0; break;
    case Qt::Key_Right:
        nMove = bControl || (cursorPosition() == text().size() && bNoSelection) ? kMoveNext : 0;
        break;
    case Qt::Key_Up: nMove = kMoveUp; break;
    case Qt::Key_Down: nMove = kMoveDown; break;
    default: break;
    }
    if (nMove != 0) {
        if (IsInRange())
            Report(kReportMove, nMove);
        return;
    }

    const QString strTyped = pEvent->text();
    if (strTyped.size() == 1 && strTyped.at(0).unicode() >= 32 && !bControl) {
        const QChar ch = strTyped.at(0);
        if (text().size() >= m_nMaxChars && bNoSelection)
            return;
        if (!CNumberText::Accepts(ch, m_nBase))
            return;
        if (m_nBase == CNumberText::kHexadecimal) {
            insert(QString(ch.toUpper()));
            return;
        }
    }
    QLineEdit::keyPressEvent(pEvent);
}
