#pragma once

#include "DialogResize.h"

// How each control of the main window follows a change of the window's
// size, by control id; ended by { -1, 0 }.
extern const ResizeAnchor kMainWindowResizeAnchors[];
