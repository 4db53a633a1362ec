#pragma once

class QByteArray;
class QIcon;
class QImage;

// The console's window icon, drawn rather than loaded so it is sharp at
// every size the desktop asks for.
QIcon MakeAppIcon();

// The same drawing for the desktop's icon theme: one bitmap of nSize pixels
// square, and the scalable form, so menu and window show one picture.
QImage DrawAppIcon(int nSize);
QByteArray AppIconSvg();
