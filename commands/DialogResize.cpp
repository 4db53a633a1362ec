#include "DialogResize.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QResizeEvent>
#include <QSizeGrip>
#include <QVariant>

namespace
{
const char* const kCtrlIdProperty = "ctrlId";

constexpr quint32 kGripFlags = RESIZE_MOVE_X | RESIZE_MOVE_Y | RESIZE_REPAINT | RESIZE_GRIPPER;

constexpr ResizeAnchor kNoResizeAnchors[] = { { -1, 0 } };
} // namespace

const ResizeAnchor kCmdListResizeAnchors[] = {
    { 1009, RESIZE_SIZE_X | RESIZE_SIZE_Y }, // command list view
    { 1030, RESIZE_SIZE_X | RESIZE_SIZE_Y }, // input edit
    { 1010, RESIZE_SIZE_X | RESIZE_MOVE_Y }, // file path field
    { 1023, RESIZE_SIZE_X | RESIZE_MOVE_Y }, // status line
    { 3, RESIZE_MOVE_X | RESIZE_MOVE_Y },    // Parse
    { 1, RESIZE_MOVE_X | RESIZE_MOVE_Y },    // OK
    { 2, RESIZE_MOVE_X | RESIZE_MOVE_Y },    // Cancel
    { 1022, RESIZE_MOVE_Y },                 // Run All
    { -1, 0 },
};

QRect ResizeAnchoredRect(quint32 uFlags, const QRect& rcRecorded, const QRect& rcCurrent, int nDx, int nDy)
{
    QRect rc = rcCurrent;
    if (uFlags & (RESIZE_SIZE_X | RESIZE_MOVE_X))
    {
        rc.setRight(rcRecorded.right() + nDx);
        if (uFlags & RESIZE_MOVE_X)
            rc.setLeft(rcRecorded.left() + nDx);
    }
    if (uFlags & (RESIZE_SIZE_Y | RESIZE_MOVE_Y))
    {
        rc.setBottom(rcRecorded.bottom() + nDy);
        if (uFlags & RESIZE_MOVE_Y)
            rc.setTop(rcRecorded.top() + nDy);
    }
    // A window maximised smaller than its template (a tiny screen) must not
    // hand the toolkit a negative size.
    if (rc.width() < 0)
        rc.setWidth(0);
    if (rc.height() < 0)
        rc.setHeight(0);
    return rc;
}

QRect DialogUnitsToPixels(const QRect& rcDlu, int nAvgCharWidth, int nFontHeight)
{
    // Edges are converted, not sizes, so that controls which touch in dialog
    // units still touch in pixels whatever the rounding.
    const int nLeft = rcDlu.x() * nAvgCharWidth / 4;
    const int nTop = rcDlu.y() * nFontHeight / 8;
    const int nRight = (rcDlu.x() + rcDlu.width()) * nAvgCharWidth / 4;
    const int nBottom = (rcDlu.y() + rcDlu.height()) * nFontHeight / 8;
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

CDialogResize::CDialogResize(QWidget* pParent, Qt::WindowFlags flags)
    : QDialog(pParent, flags)
    , m_sizeInitialClient(0, 0)
    , m_sizeMinWindow(-1, -1)
    , m_bHasSizeGrip(false)
{
}

CDialogResize::~CDialogResize() = default;

void CDialogResize::SetControlId(QWidget* pWidget, int nCtrlId)
{
    if (pWidget)
        pWidget->setProperty(kCtrlIdProperty, nCtrlId);
}

int CDialogResize::GetControlId(const QWidget* pWidget)
{
    if (!pWidget)
        return -1;
    bool bOk = false;
    const int nId = pWidget->property(kCtrlIdProperty).toInt(&bOk);
    return bOk ? nId : -1;
}

QWidget* CDialogResize::GetDlgItem(int nCtrlId) const
{
    if (nCtrlId == -1)
        return nullptr;
    // Template controls are direct children; a nested match is only a fallback.
    const auto lstDirect = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* pChild : lstDirect)
    {
        if (GetControlId(pChild) == nCtrlId)
            return pChild;
    }
    const auto lstAll = findChildren<QWidget*>();
    for (QWidget* pChild : lstAll)
    {
        if (GetControlId(pChild) == nCtrlId && !pChild->isWindow())
            return pChild;
    }
    return nullptr;
}

QRect CDialogResize::MapDialogRect(const QWidget* pDialog, const QRect& rcDlu)
{
    const QFontMetrics fm(pDialog ? pDialog->font() : QFont());
    // The base unit is the mean width of the Latin letters, rounded, as
    // dialog units define it; a font's declared average is far wider for
    // CJK fonts and would blow Chinese windows up to twice their size.
    const int nLetters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int nAvgCharWidth = qMax(1, (nLetters / 26 + 1) / 2);
    return DialogUnitsToPixels(rcDlu, nAvgCharWidth, fm.height());
}

void CDialogResize::PlaceInDialogUnits(QWidget* pWidget, int nX, int nY, int nCx, int nCy)
{
    if (!pWidget)
        return;
    const QWidget* pMetricsFrom = pWidget->parentWidget() ? pWidget->parentWidget() : pWidget;
    pWidget->setGeometry(MapDialogRect(pMetricsFrom, QRect(nX, nY, nCx, nCy)));
}

void CDialogResize::ResizeInDialogUnits(int nCx, int nCy)
{
    resize(MapDialogRect(this, QRect(0, 0, nCx, nCy)).size());
}

const ResizeAnchor* CDialogResize::GetResizeAnchors() const
{
    return kNoResizeAnchors;
}

void CDialogResize::InitResizing()
{
    // Sizing border: nothing may pin the window to its template size.
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (windowFlags() & Qt::MSWindowsFixedSizeDialogHint)
    {
        const bool bWasVisible = isVisible();
        setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, false);
        if (bWasVisible)
            show();
    }
    // Our own grip takes the corner; the dialog's built-in one would sit on top of it.
    setSizeGripEnabled(false);

    m_aResizeData.clear();
    m_sizeMinWindow = QSize(-1, -1);
    m_sizeInitialClient = size();
    m_bHasSizeGrip = false;

    QWidget* pExistingGrip = GetDlgItem(ID_SIZE_GRIP);
    if (!pExistingGrip)
    {
        m_wndSizeGrip = new QSizeGrip(this);
        SetControlId(m_wndSizeGrip, ID_SIZE_GRIP);
        const QSize sizeGrip = m_wndSizeGrip->sizeHint();
        m_wndSizeGrip->setGeometry(QRect(QPoint(width() - sizeGrip.width(), height() - sizeGrip.height()), sizeGrip));
        m_wndSizeGrip->raise();
        m_wndSizeGrip->show();
    }
    // Initialising twice must not strand our grip in its old corner.
    if (m_wndSizeGrip && (!pExistingGrip || pExistingGrip == m_wndSizeGrip))
    {
        m_bHasSizeGrip = true;
        m_aResizeData.append({ ID_SIZE_GRIP, kGripFlags, m_wndSizeGrip->geometry() });
    }

    // The toolkit limits the client area; the outer size is kept for callers
    // that compare against the window frame.
    m_sizeMinWindow = frameGeometry().size();
    setMinimumSize(m_sizeInitialClient);

    for (const ResizeAnchor* pAnchor = GetResizeAnchors(); pAnchor; ++pAnchor)
    {
        if (pAnchor->m_nCtrlId == -1)
        {
            if (pAnchor->m_uFlags == 0)
                break;
            continue;
        }
        QWidget* pCtrl = GetDlgItem(pAnchor->m_nCtrlId);
        if (!pCtrl)
            continue;
        m_aResizeData.append({ pAnchor->m_nCtrlId, pAnchor->m_uFlags, pCtrl->geometry() });
    }
}

void CDialogResize::OnSize(ESizeKind eKind, int nCx, int nCy)
{
    if (m_bHasSizeGrip && m_wndSizeGrip && eKind == kSizeMaximized)
    {
        m_wndSizeGrip->hide();
        ApplyLayout(nCx, nCy);
    }
    else if (m_bHasSizeGrip && m_wndSizeGrip && eKind == kSizeRestored)
    {
        m_wndSizeGrip->show();
        ApplyLayout(nCx, nCy);
    }
    else if (eKind != kSizeMinimized)
    {
        ApplyLayout(nCx, nCy);
    }
}

void CDialogResize::ApplyLayout(int nCx, int nCy)
{
    // This runs for every size change while the border is dragged, so the
    // direct children are walked once per layout rather than once per control.
    QHash<int, QWidget*> mapDirect;
    const auto lstDirect = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* pChild : lstDirect)
    {
        const int nId = GetControlId(pChild);
        if (nId != -1 && !mapDirect.contains(nId))
            mapDirect.insert(nId, pChild);
    }
    for (const AfxResizeData& data : qAsConst(m_aResizeData))
        PlaceControl(data, FindResizeControl(data, mapDirect), nCx, nCy);
    update();
}

void CDialogResize::PlaceControl(const AfxResizeData& data, QWidget* pCtrl, int nCx, int nCy)
{
    if (!pCtrl)
        return;
    const QRect rc = ResizeAnchoredRect(data.m_uFlags, data.m_rcInitial, pCtrl->geometry(),
                                        nCx - m_sizeInitialClient.width(), nCy - m_sizeInitialClient.height());
    if (data.m_uFlags & RESIZE_REPAINT)
        pCtrl->update();
    if (data.m_uFlags & kResizeLayoutMask)
        pCtrl->setGeometry(rc);
}

QWidget* CDialogResize::FindResizeControl(const AfxResizeData& data, const QHash<int, QWidget*>& mapDirect) const
{
    if (data.m_uFlags & RESIZE_GRIPPER)
        return m_wndSizeGrip;
    if (QWidget* pCtrl = mapDirect.value(data.m_nCtrlId, nullptr))
        return pCtrl;
    // Not a direct child: GetDlgItem's nested search decides.
    return GetDlgItem(data.m_nCtrlId);
}

CDialogResize::ESizeKind CDialogResize::CurrentSizeKind() const
{
    const Qt::WindowStates eState = windowState();
    if (eState & Qt::WindowMinimized)
        return kSizeMinimized;
    // A full-screen window has no corner to drag either.
    if (eState & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return kSizeMaximized;
    return kSizeRestored;
}

void CDialogResize::resizeEvent(QResizeEvent* pEvent)
{
    QDialog::resizeEvent(pEvent);
    OnSize(CurrentSizeKind(), pEvent->size().width(), pEvent->size().height());
}

void CDialogResize::changeEvent(QEvent* pEvent)
{
    QDialog::changeEvent(pEvent);
    // A state change without a new size (restoring from minimised) still has
    // to show or hide the grip and lay out for the size now in force.
    if (pEvent->type() == QEvent::WindowStateChange)
        OnSize(CurrentSizeKind(), width(), height());
}
