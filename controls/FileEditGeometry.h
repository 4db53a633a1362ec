#pragma once

#include <QRect>

// Where the browse button of a CFileEditCtrl sits and where its three dots
// go, in pixels; kept apart from the widget so the arithmetic is testable.
class CFileEditGeometry
{
public:
    // Dots of a button nWidth by nHeight pixels: diameter, pitch and the
    // first dot's top-left corner; the others follow at x + pitch, x + 2 pitch.
    struct SDots
    {
        int nDiameter;
        int nPitch;
        int nX;
        int nY;
    };

    // nStoredWidth -1 means 80 % of the client height.
    static int ButtonWidth(int nStoredWidth, int nClientHeight);
    // The rightmost button-width pixels of the client rectangle.
    static QRect ButtonRect(const QRect& rcClient, int nStoredWidth);
    static SDots Dots(int nWidth, int nHeight);
    // Buttons of 2 pixels or less in either direction are not drawn.
    static bool IsDrawable(const QRect& rcButton) { return rcButton.width() > 2 && rcButton.height() > 2; }
};
