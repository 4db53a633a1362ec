#include "FileEditCtrl.h"

#include "FECFileDialog.h"
#include "FileEditGeometry.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFrame>
#include <qdrawutil.h>

CFileEditCtrl::CFileEditCtrl(QWidget* pParent)
    : QLineEdit(pParent)
    , m_pFileDialog(new CFECFileDialog(this))
{
    // Tracking lets the pointer turn into an arrow over the button.
    setMouseTracking(true);
    connect(this, &QLineEdit::textChanged, this, [this] { m_bTextChanged = true; });
    RecalcLayout();
}

CFileEditCtrl::~CFileEditCtrl() = default;

void CFileEditCtrl::SetButtonWidth(int nWidth)
{
    m_nButtonWidth = nWidth;
    RecalcLayout();
}

CFileEditCtrl::EButtonState CFileEditCtrl::GetButtonState() const
{
    if (!isEnabled())
        return kButtonDisabled;
    return m_bPressedLook ? kButtonPressed : kButtonNormal;
}

void CFileEditCtrl::RecalcLayout()
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int nFrame = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this) : 0;
    const QRect rcClient = rect().adjusted(nFrame, nFrame, -nFrame, -nFrame);
    m_rcButton = CFileEditGeometry::ButtonRect(rcClient, m_nButtonWidth);
    // The text never runs under the button.
    setTextMargins(0, 0, m_rcButton.width(), 0);
    update();
}

void CFileEditCtrl::resizeEvent(QResizeEvent* pEvent)
{
    QLineEdit::resizeEvent(pEvent);
    RecalcLayout();
}

void CFileEditCtrl::changeEvent(QEvent* pEvent)
{
    QLineEdit::changeEvent(pEvent);
    if (pEvent->type() == QEvent::StyleChange || pEvent->type() == QEvent::FontChange)
        RecalcLayout();
    else if (pEvent->type() == QEvent::EnabledChange)
        update(m_rcButton);
}

QPixmap CFileEditCtrl::RenderButton() const
{
    // Drawn off screen and copied in one step, so the button never flickers
    // while it follows the pointer.
    const int nWidth = m_rcButton.width();
    const int nHeight = m_rcButton.height();
    QPixmap pixmap(m_rcButton.size());
    QPainter painter(&pixmap);
    const QPalette& pal = palette();
    painter.fillRect(pixmap.rect(), pal.brush(QPalette::Button));

    const EButtonState eState = GetButtonState();
    if (eState == kButtonPressed) {
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawRect(0, 0, nWidth - 1, nHeight - 1);
    } else {
        qDrawWinButton(&painter, pixmap.rect(), pal, false, nullptr);
    }

    const CFileEditGeometry::SDots dots = CFileEditGeometry::Dots(nWidth, nHeight);
    auto fnDots = [&](const QColor& color, int nShift) {
        painter.setPen(color);
        painter.setBrush(color);
        for (int n = 0; n < 3; ++n) {
            const int nX = dots.nX + n * dots.nPitch + nShift;
            const int nY = dots.nY + nShift;
            if (dots.nDiameter < 2)
                painter.drawPoint(nX, nY);
            else
                painter.drawEllipse(QRect(nX, nY, dots.nDiameter, dots.nDiameter));
        }
    };
    if (eState == kButtonDisabled) {
        fnDots(pal.color(QPalette::Light), 1);
        fnDots(pal.color(QPalette::Dark), 0);
    } else {
        fnDots(pal.color(QPalette::ButtonText), eState == kButtonPressed ? 1 : 0);
    }
    return pixmap;
}

void CFileEditCtrl::paintEvent(QPaintEvent* pEvent)
{
    QLineEdit::paintEvent(pEvent);
    if (!CFileEditGeometry::IsDrawable(m_rcButton))
        return;
    QPainter painter(this);
    painter.drawPixmap(m_rcButton.topLeft(), RenderButton());
}

void CFileEditCtrl::SetPressedLook(bool bPressed)
{
    if (m_bPressedLook == bPressed)
        return;
    m_bPressedLook = bPressed;
    update(m_rcButton);
}

bool CFileEditCtrl::PressButton(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton || !m_rcButton.contains(pEvent->position().toPoint()))
        return false;
    if (isEnabled()) {
        setFocus(Qt::MouseFocusReason);
        m_bPressing = true;
        SetPressedLook(true);
    }
    return true;
}

void CFileEditCtrl::EndPress()
{
    m_bPressing = false;
    SetPressedLook(false);
}

void CFileEditCtrl::mousePressEvent(QMouseEvent* pEvent)
{
    // Presses on the button belong to the frame: they never move the caret.
    if (!PressButton(pEvent))
        QLineEdit::mousePressEvent(pEvent);
}

void CFileEditCtrl::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    if (!PressButton(pEvent))
        QLineEdit::mouseDoubleClickEvent(pEvent);
}

void CFileEditCtrl::mouseMoveEvent(QMouseEvent* pEvent)
{
    const bool bOver = m_rcButton.contains(pEvent->position().toPoint());
    if (m_bPressing) {
        SetPressedLook(bOver);
        return;
    }
    setCursor(bOver ? Qt::ArrowCursor : Qt::IBeamCursor);
    QLineEdit::mouseMoveEvent(pEvent);
}

void CFileEditCtrl::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (!m_bPressing) {
        QLineEdit::mouseReleaseEvent(pEvent);
        return;
    }
    EndPress();
    if (pEvent->button() == Qt::LeftButton && m_rcButton.contains(pEvent->position().toPoint()))
        Browse();
}

void CFileEditCtrl::keyPressEvent(QKeyEvent* pEvent)
{
    // The main keyboard's "." and the keypad's both reach us as Key_Period.
    if ((pEvent->modifiers() & Qt::ControlModifier) && pEvent->key() == Qt::Key_Period) {
        pEvent->accept();
        Browse();
        return;
    }
    QLineEdit::keyPressEvent(pEvent);
}

void CFileEditCtrl::focusInEvent(QFocusEvent* pEvent)
{
    QLineEdit::focusInEvent(pEvent);
    selectAll();
}

void CFileEditCtrl::focusOutEvent(QFocusEvent* pEvent)
{
    if (m_bPressing)
        EndPress();
    QLineEdit::focusOutEvent(pEvent);
}

void CFileEditCtrl::UpdateEntries()
{
    if (!m_bTextChanged)
        return;
    m_path.Parse(text());
    m_bTextChanged = false;
}

bool CFileEditCtrl::Browse()
{
    bool bCancel = false;
    emit BrowseStarting(this, &bCancel);
    if (bCancel)
        return false;

    UpdateEntries();
    const QString strPath = m_path.GetCurrentPath();
    if (!strPath.isEmpty())
        m_pFileDialog->SetStart(CFileEditPath::NearestExistingFolder(strPath), CFileEditPath::InitialFileName(strPath));
    else
        m_pFileDialog->SetStart(QString(), QString());

    bool bSet = false;
    bool bKeepText = false;
    if (m_pFileDialog->exec() == QDialog::Accepted && !m_pFileDialog->selectedFiles().isEmpty()) {
        const QString strNew = m_pFileDialog->selectedFiles().constFirst();
        emit BrowseFinished(this, &strNew, &bKeepText);
        if (!bKeepText) {
            setText(strNew);
            bSet = true;
        }
    } else {
        emit BrowseFinished(this, nullptr, &bKeepText);
    }
    setFocus(Qt::OtherFocusReason);
    selectAll();
    return bSet;
}
