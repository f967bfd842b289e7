#pragma once
// The real clock, apart from the Qt versions of the other layers: a program without a display
// needs it and must not pull in the widgets to get it.

#include "platform/platform.h"

namespace corvane {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace corvane
