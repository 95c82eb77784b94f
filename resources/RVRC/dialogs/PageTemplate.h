// A page is a child dialog as large as the host's client area. The
// right-to-left library lays its templates out mirrored.
#pragma once

#ifndef LANG_LAYOUT_EXSTYLE
#define LANG_LAYOUT_EXSTYLE 0
#endif

#define PAGE_STRINGIZE(x) #x
#define PAGE_TEMPLATE(id) \
    id DIALOGEX 0, 0, 514, 350 \
    STYLE DS_CONTROL | DS_SETFONT | WS_CHILD \
    EXSTYLE LANG_LAYOUT_EXSTYLE \
    FONT 8, "MS Shell Dlg" \
    BEGIN \
        LTEXT "Page " PAGE_STRINGIZE(id), 1330, 20, 20, 300, 12 \
    END
