// An image list that this program made, destroyed with its holder.  A
// control that was given the list keeps only the handle: the list is taken
// back from the control before its holder goes.
#ifndef TIVORN_UTILS_IMAGE_LIST_H
#define TIVORN_UTILS_IMAGE_LIST_H

#include <windows.h>

#include <commctrl.h>

#include "utils/handles.h"

struct ImageListKind {
    using Raw = HIMAGELIST;
    static bool None(HIMAGELIST list) { return list == nullptr; }
    static bool Close(HIMAGELIST list) { return ImageList_Destroy(list) != FALSE; }
};
using ImageList = UniqueHandle<ImageListKind>;

#endif
