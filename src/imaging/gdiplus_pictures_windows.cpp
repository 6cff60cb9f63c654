#include <windows.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <gdiplus.h>
#include <new>
#include <objbase.h>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "imaging/flatten.h"
#include "imaging/gdiplus_pictures.h"
#include "imaging/gdiplus_use.h"
#include "imaging/picture_check.h"
#include "imaging/picture_header.h"
#include "platform/c_handle.h"
#include "platform/windows_text.h"

namespace vexa {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

using GdiplusBitmap = CHandle<GpBitmap, GdipDisposeImage>;
using Graphics = CHandle<GpGraphics, GdipDeleteGraphics>;
using Dib = CHandle<std::remove_pointer_t<HBITMAP>, DeleteObject>;
using File = CHandle<void, CloseHandle>;
using Stream = CHandle<IStream, [](IStream* stream) { stream->Release(); }>;

// A picture as GDI+ decoded it.
struct DecodedBitmap {
    GdiplusUse use;  // first in, last out
    GdiplusBitmap bitmap;
};

// The picture's pixels in a device-independent bitmap of GDI (bottom-up rows padded to 4 bytes):
// in the decoded format when GDI holds that format, else 32 bits per pixel, with alpha when the
// picture has it. Transparency is painted onto white, since a JPEG has none.
class WorkingBitmap {
public:
    // Nullopt when the bitmap cannot be made or the pixels cannot be read.
    static std::optional<WorkingBitmap> Load(const DecodedBitmap& picture);

    // The JPEG at the encoder's default quality, written to out. False on failure.
    bool EncodeJpeg(IStream* out) const;

private:
    WorkingBitmap(GdiplusUse use, Dib dib, uint8_t* bits, int width, int height, int stride, bool alpha)
        : use_(std::move(use)),
          dib_(std::move(dib)),
          bits_(bits),
          width_(width),
          height_(height),
          stride_(stride),
          alpha_(alpha) {}

    GdiplusUse use_;  // first in, last out
    Dib dib_;
    uint8_t* bits_;  // dib_'s pixels
    int width_, height_, stride_;
    bool alpha_;
};

// {B96B3CAE-0728-11D3-9D7B-0000F81EF32E}, the JPEG format's identifier.
constexpr GUID kJpegFormat = {0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

std::optional<CLSID> JpegEncoder() {
    UINT count = 0, bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Ok || count == 0) return std::nullopt;
    std::vector<ImageCodecInfo> codecs(bytes / sizeof(ImageCodecInfo) + 1);
    if (GdipGetImageEncoders(count, bytes, codecs.data()) != Ok) return std::nullopt;
    for (UINT i = 0; i < count; ++i) {
        if (IsEqualGUID(codecs[i].FormatID, kJpegFormat)) return codecs[i].Clsid;
    }
    return std::nullopt;
}

// GDI keeps these formats in a DIB section as they are. 16-bit 5-6-5 would need bit-field masks,
// and 5-5-5 with alpha has alpha: both become 32-bit.
bool GdiHolds(PixelFormat format) {
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
        case PixelFormat16bppRGB555:
        case PixelFormat24bppRGB:
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
            return true;
        default:
            return false;
    }
}

struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

// The decoded palette, painted onto white, as a DIB colour table; false for a palette of no
// entries or more than 256.
bool CopyPalette(GpImage* image, DibInfo& info) {
    INT bytes = 0;
    if (GdipGetImagePaletteSize(image, &bytes) != Ok || bytes < static_cast<INT>(sizeof(ColorPalette)))
        return false;
    // ColorPalette ends in a variable array of ARGB: UINT-aligned storage of the size GDI+ asks.
    std::vector<UINT> storage((static_cast<size_t>(bytes) + sizeof(UINT) - 1) / sizeof(UINT));
    auto* palette = reinterpret_cast<ColorPalette*>(storage.data());
    if (GdipGetImagePalette(image, palette, bytes) != Ok) return false;
    if (palette->Count == 0 || palette->Count > 256 ||
        bytes < static_cast<INT>(offsetof(ColorPalette, Entries) + palette->Count * sizeof(ARGB)))
        return false;
    // ARGB in memory is B, G, R, A: the layout of an RGBQUAD with alpha in its last byte.
    static_assert(sizeof(ARGB) == sizeof(RGBQUAD));
    std::memcpy(info.colours, palette->Entries, palette->Count * sizeof(ARGB));
    FlattenPixelsOntoWhite(
        std::span(reinterpret_cast<uint8_t*>(info.colours), palette->Count * sizeof(ARGB)));
    for (UINT i = 0; i < palette->Count; ++i) info.colours[i].rgbReserved = 0;
    info.header.biClrUsed = palette->Count;
    return true;
}

// The decoded pixels in the working format, drawn by GDI+ into a bitmap over the DIB's bits.
bool Draw(GpBitmap* picture, uint8_t* bits, int width, int height, int stride, PixelFormat format) {
    GpBitmap* over = nullptr;
    // Bottom-up rows: the top row is the last in memory.
    if (GdipCreateBitmapFromScan0(width, height, -stride, format,
                                  bits + static_cast<size_t>(height - 1) * stride, &over) != Ok)
        return false;
    const GdiplusBitmap target(over);
    GpGraphics* graphics = nullptr;
    if (GdipGetImageGraphicsContext(target.get(), &graphics) != Ok) return false;
    const Graphics drawing(graphics);
    // Copied, not blended onto what the new bitmap holds; drawn at the picture's size in pixels,
    // whatever resolution it declares.
    return GdipSetCompositingMode(drawing.get(), CompositingModeSourceCopy) == Ok &&
           GdipDrawImageRectI(drawing.get(), picture, 0, 0, width, height) == Ok;
}

// The decoded pixels copied row by row, the format being the same.
bool CopyRows(GpBitmap* picture, uint8_t* bits, int width, int height, int stride, PixelFormat format) {
    const GpRect all{0, 0, width, height};
    BitmapData data{};
    if (GdipBitmapLockBits(picture, &all, ImageLockModeRead, format, &data) != Ok) return false;
    const size_t rowBytes = (static_cast<size_t>(width) * GetPixelFormatSize(format) + 7) / 8;
    for (int y = 0; y < height; ++y) {
        std::memcpy(bits + static_cast<size_t>(height - 1 - y) * stride,
                    static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    rowBytes);
    }
    return GdipBitmapUnlockBits(picture, &data) == Ok;
}

std::optional<DecodedBitmap> DecodeFile(const std::wstring& path) {
    GdiplusUse use;
    GpBitmap* bitmap = nullptr;
    if (!use.Started() || GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Ok) return std::nullopt;
    return DecodedBitmap{std::move(use), GdiplusBitmap(bitmap)};
}

std::optional<DecodedBitmap> DecodeStream(IStream* stream) {
    GdiplusUse use;
    GpBitmap* bitmap = nullptr;
    if (!use.Started() || GdipCreateBitmapFromStream(stream, &bitmap) != Ok) return std::nullopt;
    return DecodedBitmap{std::move(use), GdiplusBitmap(bitmap)};
}

std::optional<WorkingBitmap> WorkingBitmap::Load(const DecodedBitmap& picture) {
    GdiplusUse use;
    if (!use.Started()) return std::nullopt;
    GpBitmap* decoded = picture.bitmap.get();
    UINT width = 0, height = 0;
    PixelFormat format = 0;
    if (GdipGetImageWidth(decoded, &width) != Ok || GdipGetImageHeight(decoded, &height) != Ok ||
        GdipGetImagePixelFormat(decoded, &format) != Ok || width == 0 || height == 0 || width > INT_MAX / 4 ||
        height > INT_MAX)
        return std::nullopt;

    const bool alpha = IsAlphaPixelFormat(format);
    const PixelFormat working = alpha              ? PixelFormat32bppARGB
                                : GdiHolds(format) ? format
                                                   : PixelFormat32bppRGB;
    DibInfo info{};
    info.header.biSize = sizeof(info.header);
    info.header.biWidth = static_cast<LONG>(width);
    info.header.biHeight = static_cast<LONG>(height);  // positive: bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(GetPixelFormatSize(working));
    info.header.biCompression = BI_RGB;
    if (IsIndexedPixelFormat(working) && !CopyPalette(decoded, info)) return std::nullopt;

    void* bits = nullptr;
    Dib dib(
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return std::nullopt;
    DIBSECTION section{};
    if (GetObjectA(dib.get(), sizeof(section), &section) != sizeof(section)) return std::nullopt;
    const int stride = section.dsBm.bmWidthBytes;
    auto* pixels = static_cast<uint8_t*>(bits);
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    if (!(working == format ? CopyRows : Draw)(decoded, pixels, w, h, stride, working)) return std::nullopt;
    if (alpha) FlattenPixelsOntoWhite(std::span(pixels, static_cast<size_t>(stride) * h));
    return WorkingBitmap(std::move(use), std::move(dib), pixels, w, h, stride, alpha);
}

bool WorkingBitmap::EncodeJpeg(IStream* out) const {
    const std::optional<CLSID> encoder = JpegEncoder();
    if (!encoder) return false;
    GpBitmap* wrapper = nullptr;
    // Alpha is 255 throughout by now; a wrapper of ARGB pixels keeps GDI+ from guessing.
    const GpStatus wrapped =
        alpha_ ? GdipCreateBitmapFromScan0(width_, height_, -stride_, PixelFormat32bppARGB,
                                           bits_ + static_cast<size_t>(height_ - 1) * stride_, &wrapper)
               : GdipCreateBitmapFromHBITMAP(dib_.get(), nullptr, &wrapper);
    if (wrapped != Ok) return false;
    const GdiplusBitmap image(wrapper);
    return GdipSaveImageToStream(image.get(), out, &*encoder, nullptr) == Ok;
}

// The working bitmap of a decoded picture, which goes as soon as its pixels are copied: the two
// are not held at once while the JPEG is made.
std::optional<WorkingBitmap> WorkingBitmapOf(std::optional<DecodedBitmap> picture) {
    if (!picture) return std::nullopt;
    return WorkingBitmap::Load(*picture);
}

// The whole file, or nothing when it cannot be read or is larger than kMaxPictureBytes.
std::optional<std::vector<uint8_t>> ReadPictureFile(const std::wstring& path) {
    const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
    const File file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxPictureBytes)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
        got != bytes.size())
        return std::nullopt;
    return bytes;
}

// An empty in-memory stream that grows as needed and frees its memory when released; null when
// the system cannot make one.
Stream NewMemoryStream() {
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(nullptr, TRUE, &stream) == E_OUTOFMEMORY) throw std::bad_alloc();
    return Stream(stream);
}

// The stream's whole content; its memory is the stream's own HGLOBAL.
std::optional<std::vector<uint8_t>> StreamBytes(IStream* stream) {
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream, &memory)) ||
        stat.cbSize.QuadPart == 0 || stat.cbSize.QuadPart > GlobalSize(memory))
        return std::nullopt;
    const auto* start = static_cast<const uint8_t*>(GlobalLock(memory));
    if (!start) return std::nullopt;
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes.emplace(start, start + stat.cbSize.QuadPart);
    } catch (...) {
        GlobalUnlock(memory);
        throw;
    }
    GlobalUnlock(memory);
    return bytes;
}

}  // namespace

std::optional<std::vector<uint8_t>> GdiplusJpegOfFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    const std::wstring wide = WideFromUtf8(path);
    if (const std::optional<std::vector<uint8_t>> bytes = ReadPictureFile(wide);
        !bytes || !PassesPictureChecks(*bytes))
        return std::nullopt;
    const Stream jpeg = NewMemoryStream();
    if (!jpeg) return std::nullopt;
    {
        const std::optional<WorkingBitmap> working = WorkingBitmapOf(DecodeFile(wide));
        if (!working || !working->EncodeJpeg(jpeg.get())) return std::nullopt;
    }
    return StreamBytes(jpeg.get());
}

bool DecodesAsPicture(std::span<const uint8_t> bytes) {
    if (!PassesPictureChecks(bytes)) return false;
    const Stream stream = NewMemoryStream();
    ULONG written = 0;
    if (!stream || FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) ||
        written != bytes.size() || FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr)))
        return false;
    return WorkingBitmapOf(DecodeStream(stream.get())).has_value();
}

}  // namespace vexa
