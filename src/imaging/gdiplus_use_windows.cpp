#include <windows.h>

#include <gdiplus.h>
#include <mutex>

#include "imaging/gdiplus_use.h"

namespace vexa {

namespace {

std::mutex startLock;
int holders = 0;             // under startLock
ULONG_PTR gdiplusToken = 0;  // under startLock

}  // namespace

GdiplusUse::GdiplusUse() {
    const std::lock_guard lock(startLock);
    if (holders == 0) {
        const Gdiplus::GdiplusStartupInput input;  // version 1, GDI+'s own background thread
        if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) return;
    }
    ++holders;
    started_ = true;
}

GdiplusUse::~GdiplusUse() {
    if (!started_) return;
    const std::lock_guard lock(startLock);
    if (--holders == 0) Gdiplus::GdiplusShutdown(gdiplusToken);
}

}  // namespace vexa
