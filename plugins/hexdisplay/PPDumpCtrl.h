#pragma once

#include "DumpLayout.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStaticText>
#include <QWidget>

#include <array>
#include <vector>

class CPPNumEdit;
class QPainter;
class QScrollBar;

// Shows a caller's byte array as rows of values in up to six notations, with
// a header bar, a caption row, caret, selection, hover frame and an in-place
// edit. The bytes are not copied: the caller keeps them alive and unchanged
// in length while they are shown. The geometry lives in CDumpLayout and the
// texts in CDumpText; this class paints and handles input.
class CPPDumpCtrl : public QWidget
{
    Q_OBJECT

public:
    static constexpr quint32 kInitialStyle = 0x402F23;

    explicit CPPDumpCtrl(QWidget* pParent = nullptr);
    ~CPPDumpCtrl() override;

    void LoadBytes(const char* pData, int nLength);
    void SetDumpStyle(quint32 uStyle, bool bRedraw);
    quint32 GetDumpStyle() const { return m_dwStyle; }
    void SetPlaceholder(QChar ch)
    {
        m_chPlaceholder = ch;
        ClearCellCache();
    }
    QChar Placeholder() const { return m_chPlaceholder; }
    void CreateDumpFont();
    bool EnsureVisible(int nIndex);
    QRect GetAreaRect(int nIndex, int nArea) const;

    const uchar* Data() const { return m_pData; }
    int Values() const { return m_nValues; }
    int SelStart() const { return m_nSelStart; }
    int SelEnd() const { return m_nSelEnd; }
    int Top() const { return m_nTop; }
    int HoverIndex() const { return m_nHoverIndex; }
    int HoverArea() const { return m_nHoverArea; }
    int EditIndex() const { return m_nEditIndex; }
    int EditArea() const { return m_nEditArea; }
    CPPNumEdit* Edit() const { return m_pEdit; }
    // The index whose value the header bar shows.
    int HeaderIndex() const;
    const CDumpLayout& Layout() const { return m_layout; }
    QScrollBar* ScrollBar() const { return m_scrollBar; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // Painting
    void Relayout();
    void UpdateScrollBar();
    // pText, when given, is strCell laid out already.
    int DrawCell(QPainter& dc, const QString& strCell, bool bFill, bool bSelected, bool bDisabled, int x, int y,
                 int nBottom, const QStaticText* pText = nullptr);
    int DrawCharCell(QPainter& dc, const QString& strCell, bool bFill, bool bSelected, bool bDisabled, int x, int y,
                     int nBottom, const QStaticText* pText = nullptr);
    void DrawHeader(QPainter& dc, bool bDisabled);
    void DrawCaptions(QPainter& dc, bool bDisabled);
    void DrawColumn(QPainter& dc, int nKind, bool bDisabled, int nPaintTop, int nPaintBottom);
    const QStaticText* CachedCell(int nKind, quint32 uValue);
    void ClearCellCache();
    QString CellText(int nKind, int nIndex) const;
    void RefreshHeaderValues();

    // Interaction
    bool PreTranslateKey(QKeyEvent* pEvent);
    void HoverAt(const QPoint& pt);
    void ClearHover();
    void SetCaret(int nIndex);
    void MoveCaretTo(qint64 nTarget);
    void OnScrollValue(int nPos);
    void ScrollRows(int nRows);
    void BeginEdit(int nArea, int nIndex);
    bool CommitEdit(quint32 uValue, bool bClose);
    void CloseEdit();
    void MoveEdit(quint32 uValue, int nMove);
    void SwitchEditKind(int nBaseCode);
    int NextKind(int nArea) const;
    int PreviousKind(int nArea) const;
    void OnEditReport(int nCode, int nFirst, quint32 uValue);
    bool IsHoverOnValue() const { return !m_rcHover.IsEmpty() && m_nHoverArea >= 18 && m_nHoverArea <= 22; }

    QColor m_clrText;
    QColor m_clrBack;
    QColor m_clrEditText{0, 0, 0};
    QColor m_clrEditBack{255, 255, 0};
    QColor m_clrEditBadText{255, 255, 255};
    QColor m_clrEditBadBack{255, 0, 0};
    QColor m_clrSelection{0, 255, 255};
    QColor m_clrAddress{0, 176, 0};
    QColor m_clrLines;
    QColor m_clrCaption;
    QColor m_clrHoverFrame;
    QColor m_clrDisabledText;
    QColor m_clrDisabledBack;
    quint32 m_dwStyle = kInitialStyle;
    const uchar* m_pData = nullptr;
    int m_nDataBytes = 0;
    int m_nValues = 0;
    int m_nTop = 0;
    int m_nEditIndex = -1;
    int m_nHoverIndex = -1;
    int m_nSelStart = 0;
    int m_nSelEnd = 0;
    int m_nAnchor = 0;
    int m_nEditArea = -1;
    int m_nHoverArea = -1;
    QChar m_chPlaceholder;
    bool m_bFocused = false;
    bool m_bSelecting = false;
    QFont m_font;
    int m_nWheelRest = 0;
    // Laid-out texts of one-byte cells per kind and value: a page repeats
    // the same 256 texts, and laying text out is most of the cost of a paint.
    std::array<std::vector<QStaticText>, kLastKind + 1> m_cellCache;
    SDumpRect m_rcHover;
    CDumpLayout m_layout;
    QScrollBar* m_scrollBar = nullptr;
    CPPNumEdit* m_pEdit = nullptr;
};
