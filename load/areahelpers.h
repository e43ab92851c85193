#pragma once
// Small pieces shared by the mouse and the ruler handling of the cut area.

#include <QSignalBlocker>

#include "toolkit/trackbar.h"

namespace clipora {

// s / 2 rounded down (-3 gives -2): the thumb stands at the start of the
// area plus half its size.
constexpr int floorHalf(int s)
{
    return s / 2 - (s % 2 < 0 ? 1 : 0);
}

// Assigns a ruler's thumb without running its change handling.
inline void setThumbQuietly(TrackBar* ruler, int position)
{
    const QSignalBlocker quiet(ruler);
    ruler->setPosition(position);
}

}  // namespace clipora
