#pragma once

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QSizeGrip>
#include <QVector>

// How an anchored control follows a change of its dialog's client size.
inline constexpr quint32 RESIZE_SIZE_X = 0x01;
inline constexpr quint32 RESIZE_SIZE_Y = 0x02;
inline constexpr quint32 RESIZE_MOVE_X = 0x04;
inline constexpr quint32 RESIZE_MOVE_Y = 0x08;
inline constexpr quint32 RESIZE_REPAINT = 0x10;
inline constexpr quint32 RESIZE_GRIPPER = 0x4000;
inline constexpr quint32 kResizeLayoutMask = 0x1F;

inline constexpr int ID_SIZE_GRIP = 0xE801;

// One entry of an anchor table; a table ends with { -1, 0 }.
struct ResizeAnchor
{
    int m_nCtrlId;
    quint32 m_uFlags;
};

// The command list window's anchor table, ended by { -1, 0 }.
extern const ResizeAnchor kCmdListResizeAnchors[];

// Where a control goes for a client area that changed by (nDx, nDy) since
// initialisation. Every anchored edge is taken from rcRecorded, never from
// rcCurrent, so that any number of resizes cannot accumulate rounding or
// clamping errors; edges without an anchor keep their current place.
QRect ResizeAnchoredRect(quint32 uFlags, const QRect& rcRecorded, const QRect& rcCurrent, int nDx, int nDy);

// Dialog units to pixels for a dialog font with the given average character
// width and height (x: dlu * width / 4, y: dlu * height / 8).
QRect DialogUnitsToPixels(const QRect& rcDlu, int nAvgCharWidth, int nFontHeight);

class CDialogResize : public QDialog
{
    Q_OBJECT

public:
    struct AfxResizeData
    {
        int m_nCtrlId;
        quint32 m_uFlags;
        QRect m_rcInitial; // in the dialog's client coordinates
    };

    enum ESizeKind { kSizeRestored, kSizeMinimized, kSizeMaximized, kSizeOther };

    explicit CDialogResize(QWidget* pParent = nullptr, Qt::WindowFlags flags = {});
    ~CDialogResize() override;

    // Control identifiers of the dialog templates, kept on the widgets so
    // anchor tables and GetDlgItem can name controls by number.
    static void SetControlId(QWidget* pWidget, int nCtrlId);
    static int GetControlId(const QWidget* pWidget); // -1 when none
    QWidget* GetDlgItem(int nCtrlId) const;

    // Pixel geometry of a dialog-unit rectangle, measured with pDialog's font.
    static QRect MapDialogRect(const QWidget* pDialog, const QRect& rcDlu);
    // Places pWidget inside its parent at (nX, nY, nCx, nCy) dialog units of
    // the parent's font; the windows are laid out this way, not by layouts.
    static void PlaceInDialogUnits(QWidget* pWidget, int nX, int nY, int nCx, int nCy);
    // Sets this dialog's client size from dialog units.
    void ResizeInDialogUnits(int nCx, int nCy);

    void InitResizing();

    bool HasSizeGrip() const { return m_bHasSizeGrip; }
    QSizeGrip* GetSizeGrip() const { return m_wndSizeGrip; }
    QSize GetInitialClientSize() const { return m_sizeInitialClient; }
    QSize GetMinWindowSize() const { return m_sizeMinWindow; }
    const QVector<AfxResizeData>& GetResizeData() const { return m_aResizeData; }

protected:
    virtual const ResizeAnchor* GetResizeAnchors() const;

    // The platform's size-changed notification, with the kind of change.
    void OnSize(ESizeKind eKind, int nCx, int nCy);
    void ApplyLayout(int nCx, int nCy);
    void PlaceControl(const AfxResizeData& data, QWidget* pCtrl, int nCx, int nCy);

    void resizeEvent(QResizeEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    ESizeKind CurrentSizeKind() const;
    QWidget* FindResizeControl(const AfxResizeData& data, const QHash<int, QWidget*>& mapDirect) const;

    QVector<AfxResizeData> m_aResizeData;
    QSize m_sizeInitialClient;
    QSize m_sizeMinWindow;
    bool m_bHasSizeGrip;
    QPointer<QSizeGrip> m_wndSizeGrip;
};
