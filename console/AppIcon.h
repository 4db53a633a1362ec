#pragma once

class QIcon;

// The console's window icon, drawn rather than loaded so it is sharp at
// every size the desktop asks for.
QIcon MakeAppIcon();
