#include <windows.h>

#include "jpeg_pixels.h"

#include <gdiplus.h>
#include <objbase.h>
#include <wincrypt.h>

namespace vexa::test {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

std::vector<uint8_t> Base64Bytes(const std::string& text) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, nullptr,
                              &size, nullptr, nullptr))
        return {};
    std::vector<uint8_t> bytes(size);
    if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, bytes.data(),
                              &size, nullptr, nullptr))
        return {};
    bytes.resize(size);
    return bytes;
}

std::optional<JpegLook> LookAtJpeg(const std::vector<uint8_t>& jpeg) {
    if (jpeg.size() < 3 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 || jpeg[2] != 0xFF) return std::nullopt;
    ULONG_PTR token = 0;
    const GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) return std::nullopt;
    std::optional<JpegLook> look;
    IStream* stream = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
        ULONG written = 0;
        GpBitmap* bitmap = nullptr;
        if (SUCCEEDED(stream->Write(jpeg.data(), static_cast<ULONG>(jpeg.size()), &written)) &&
            SUCCEEDED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr)) &&
            GdipCreateBitmapFromStream(stream, &bitmap) == Ok) {
            UINT width = 0, height = 0;
            ARGB pixel = 0;
            if (GdipGetImageWidth(bitmap, &width) == Ok && GdipGetImageHeight(bitmap, &height) == Ok &&
                GdipBitmapGetPixel(bitmap, 0, 0, &pixel) == Ok)
                look = JpegLook{static_cast<int>(width), static_cast<int>(height), uint8_t(pixel >> 16),
                                uint8_t(pixel >> 8), uint8_t(pixel)};
            GdipDisposeImage(bitmap);
        }
        stream->Release();
    }
    GdiplusShutdown(token);
    return look;
}

}  // namespace vexa::test
