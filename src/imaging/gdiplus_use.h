// GDI+ kept started while anything of it is in use.
#pragma once

#include <utility>

namespace vexa {

// GDI+ is started by the first holder and shut down when the last one goes; the count of holders
// changes under one module-wide lock. Every GDI+ object lives inside a holder's lifetime.
class GdiplusUse {
public:
    GdiplusUse();
    GdiplusUse(GdiplusUse&& other) noexcept : started_(std::exchange(other.started_, false)) {}
    GdiplusUse& operator=(GdiplusUse&&) = delete;
    ~GdiplusUse();
    // False when GDI+ could not be started: nothing of it may be used.
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

}  // namespace vexa
