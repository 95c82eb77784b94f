// Gives back the reference a map holds on each of its command-target values and empties it.
#pragma once
#include <afxtempl.h>

template <class KEY, class VALUE>
void UIXReleaseMapValues(CMap<KEY, KEY, VALUE*, VALUE*>& map) {
    KEY key = KEY();
    VALUE* value = nullptr;
    for (POSITION pos = map.GetStartPosition(); pos;) {
        map.GetNextAssoc(pos, key, value);
        value->InternalRelease();
    }
    map.RemoveAll();
}
