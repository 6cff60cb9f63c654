#include <dlfcn.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "automation/guarded.h"
#include "imaging/pixbuf_decoding.h"

namespace vexa {

namespace {

// PNG, BMP and ICO loaders keep a picture whose data stops early. GIF and TIFF loaders refuse
// one themselves, and a GIF's first frame may rightly cover only part of the picture.
bool RowsTellCompleteness(PictureFormat format) {
    return format == PictureFormat::kPng || format == PictureFormat::kBmp || format == PictureFormat::kIco;
}

// gdk-pixbuf registers its types with GLib, which never forgets a type. Were gdk-pixbuf unloaded
// with this module and loaded again, it would register them anew and crash; so once it has been
// used it stays for the life of the process.
bool KeepPixbufLoaded() {
    static const bool kept = [] {
        Dl_info library{};
        if (!dladdr(reinterpret_cast<void*>(&gdk_pixbuf_loader_new_with_type), &library) ||
            !library.dli_fname)
            return false;
        return dlopen(library.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
    }();
    return kept;
}

}  // namespace

PixbufDecoding::PixbufDecoding(PictureFormat format) : checkRows_(RowsTellCompleteness(format)) {
    if (!KeepPixbufLoaded()) return;
    GError* error = nullptr;
    loader_ = gdk_pixbuf_loader_new_with_type(PixbufLoaderName(format), &error);
    g_clear_error(&error);
    if (!loader_) return;
    g_signal_connect(loader_, "size-prepared", G_CALLBACK(&PixbufDecoding::OnSizePrepared), this);
    if (checkRows_)
        g_signal_connect(loader_, "area-updated", G_CALLBACK(&PixbufDecoding::OnAreaUpdated), this);
}

PixbufDecoding::~PixbufDecoding() {
    if (!loader_) return;
    // A loader must be closed before it goes, or gdk-pixbuf complains on stderr.
    if (!closed_) {
        GError* error = nullptr;
        gdk_pixbuf_loader_close(loader_, &error);
        g_clear_error(&error);
    }
    g_object_unref(loader_);
}

bool PixbufDecoding::Write(std::span<const uint8_t> bytes) {
    if (!loader_ || refused_ || closed_) return false;
    if (bytes.empty()) return true;
    GError* error = nullptr;
    const bool written = gdk_pixbuf_loader_write(loader_, bytes.data(), bytes.size(), &error);
    g_clear_error(&error);
    return written && !refused_;
}

std::optional<DecodedPicture> PixbufDecoding::Finish() {
    if (!loader_ || refused_ || closed_) return std::nullopt;
    GError* error = nullptr;
    const bool complete = gdk_pixbuf_loader_close(loader_, &error);
    closed_ = true;
    g_clear_error(&error);
    GdkPixbuf* pixbuf = complete && !refused_ ? gdk_pixbuf_loader_get_pixbuf(loader_) : nullptr;
    if (!pixbuf || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
        gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB)
        return std::nullopt;
    const DecodedPicture::Layout layout{gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
                                        gdk_pixbuf_get_rowstride(pixbuf), gdk_pixbuf_get_n_channels(pixbuf),
                                        static_cast<bool>(gdk_pixbuf_get_has_alpha(pixbuf))};
    if (layout.channels != (layout.alpha ? 4 : 3)) return std::nullopt;
    if (checkRows_ &&
        (rows_.size() != 1 || rows_.begin()->first != 0 || rows_.begin()->second < layout.height))
        return std::nullopt;
    // The loader holds a reference of its own until it goes; this one is the picture's.
    return DecodedPicture(layout, gdk_pixbuf_get_pixels(pixbuf),
                          std::shared_ptr<void>(g_object_ref(pixbuf), g_object_unref));
}

// Called once the declared size is known, before the pixels are allocated. A size of zero tells
// the loader that it will be closed and must allocate nothing more.
void PixbufDecoding::OnSizePrepared(GdkPixbufLoader* loader, int width, int height, void* self) noexcept {
    auto* me = static_cast<PixbufDecoding*>(self);
    if (width <= 0 || height <= 0 ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPicturePixels) {
        me->refused_ = true;
        gdk_pixbuf_loader_set_size(loader, 0, 0);
    }
}

// Rows that cannot be recorded for want of memory leave the picture unproven whole: refused.
void PixbufDecoding::OnAreaUpdated(GdkPixbufLoader*, int, int y, int, int height, void* self) noexcept {
    if (height <= 0) return;
    auto* me = static_cast<PixbufDecoding*>(self);
    const HRESULT recorded = Guarded([&] {
        std::map<int, int>& rows = me->rows_;
        int start = y, end = y + height;
        // Merge with every span that touches [start, end).
        auto it = rows.upper_bound(start);
        if (it != rows.begin() && std::prev(it)->second >= start) --it;
        while (it != rows.end() && it->first <= end) {
            start = std::min(start, it->first);
            end = std::max(end, it->second);
            it = rows.erase(it);
        }
        rows.emplace(start, end);
        return S_OK;
    });
    if (FAILED(recorded)) me->refused_ = true;
}

}  // namespace vexa
