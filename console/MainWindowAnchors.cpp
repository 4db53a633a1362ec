#include "MainWindowAnchors.h"

const ResizeAnchor kMainWindowResizeAnchors[] = {
    // session history text and its group box
    { 1005, RESIZE_SIZE_X | RESIZE_SIZE_Y },
    { 1026, RESIZE_SIZE_X | RESIZE_SIZE_Y },
    { 1017, RESIZE_SIZE_X | RESIZE_SIZE_Y },
    // command group box, resource name, command, progress bar
    { 1019, RESIZE_SIZE_X },
    { 1004, RESIZE_SIZE_X },
    { 1002, RESIZE_SIZE_X },
    { 1021, RESIZE_SIZE_X },
    // Connect, Stop, Command List, More ..., "Freq. Used" group box
    { 3, RESIZE_MOVE_X },
    { 1028, RESIZE_MOVE_X },
    { 1009, RESIZE_MOVE_X },
    { 1008, RESIZE_MOVE_X },
    { 1018, RESIZE_MOVE_X },
    // the frequently used command buttons
    { 7, RESIZE_MOVE_X },
    { 8, RESIZE_MOVE_X },
    { 9, RESIZE_MOVE_X },
    { 14, RESIZE_MOVE_X },
    { 12, RESIZE_MOVE_X },
    { 13, RESIZE_MOVE_X },
    { 11, RESIZE_MOVE_X },
    { 10, RESIZE_MOVE_X },
    // Plugins, Clear
    { 1024, RESIZE_MOVE_X },
    { 1025, RESIZE_MOVE_X },
    // footer link
    { 1001, RESIZE_MOVE_Y },
    { -1, 0 },
};
