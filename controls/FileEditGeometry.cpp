#include "FileEditGeometry.h"

int CFileEditGeometry::ButtonWidth(int nStoredWidth, int nClientHeight)
{
    return nStoredWidth == -1 ? nClientHeight * 8 / 10 : nStoredWidth;
}

QRect CFileEditGeometry::ButtonRect(const QRect& rcClient, int nStoredWidth)
{
    const int nWidth = qBound(0, ButtonWidth(nStoredWidth, rcClient.height()), qMax(0, rcClient.width()));
    QRect rc(rcClient.right() + 1 - nWidth, rcClient.top(), nWidth, rcClient.height());
    return rc.normalized();
}

CFileEditGeometry::SDots CFileEditGeometry::Dots(int nWidth, int nHeight)
{
    SDots dots{};
    dots.nDiameter = nWidth / 10;
    dots.nPitch = nWidth / 4;
    dots.nX = nWidth / 2 - dots.nPitch - (nWidth % 4 == 0 ? 1 : 0);
    dots.nY = nHeight / 2 - dots.nDiameter / 2;
    return dots;
}
