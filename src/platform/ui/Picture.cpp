// Pictures are decoded at a cost the game can bound. The picture files come
// from wherever the game was started (the current directory is looked in
// first), so their bytes are anyone's, and what matters is what a file costs
// to decode, not the size it claims:
//
// - Vector pictures are refused, whatever their name. librsvg, GdkPixbuf's
//   SVG loader, spends minutes on a kilobyte of blurred circles and cannot be
//   interrupted once it renders. The game's pictures are raster images (the
//   asset pack writes PNG), so the format is told from the first bytes and
//   the file goes only to a loader of that one raster format; no other
//   loader GdkPixbuf has ever sees it.
// - A raster loader's work per byte is bounded by the picture's area, which
//   the header gives before any pixel is stored: past kMaxSide the loader is
//   told to stop before it allocates. (The dearest is a progressive JPEG,
//   each of whose scans redraws the whole picture.)
// - The file is fed in small chunks with the clock read before each: past
//   the budget the picture counts as failed. A slow picture costs its budget
//   and one chunk's decoding, so the game thread is never held for long and a
//   termination signal is taken within that.
//
// Not chosen: a worker thread whose late result is dropped leaves the work
// running (a duel starts eight pictures, on machines with two cores and an
// audio thread), and decoding in a child process would need a helper program
// of its own: a GTK process may not fork without exec.
#include "platform/ui/Picture.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstring>

#include "platform/files/AssetPath.h"

namespace platform {
namespace {

// The game's pictures are a few hundred pixels wide; anything past this is
// a broken or hostile file.
constexpr int kMaxSide = 4096;
// What the decoder is given between two looks at the clock: a few
// milliseconds of PNG decoding at most, and six writes for one of our files.
constexpr size_t kChunkBytes = 4096;

// The raster formats a picture may have, by the bytes it starts with, and the
// GdkPixbuf loader of each.
struct RasterFormat {
    const char* magic;
    size_t magicBytes;
    const char* loader;
};
// GIF is not among them: an animation composes each of its frames over the
// whole picture, so a file of many tiny frames costs far more than its bytes,
// and the game has none.
constexpr RasterFormat kRasterFormats[] = {
    {"\x89PNG\r\n\x1a\n", 8, "png"},
    {"\xFF\xD8\xFF", 3, "jpeg"},
    {"BM", 2, "bmp"},
    {"P1", 2, "pnm"},
    {"P2", 2, "pnm"},
    {"P3", 2, "pnm"},
    {"P4", 2, "pnm"},
    {"P5", 2, "pnm"},
    {"P6", 2, "pnm"},
};

const char* RasterLoaderFor(const unsigned char* head, size_t bytes) {
    for (const RasterFormat& format : kRasterFormats) {
        if (bytes >= format.magicBytes && std::memcmp(head, format.magic, format.magicBytes) == 0) {
            return format.loader;
        }
    }
    return nullptr;
}

// Rows the loader has written, summed over its updates: a file cut short
// closes without complaint with rows never written, and is refused as it was
// when the whole file was decoded in one call.
void CountRows(GdkPixbufLoader*, int, int, int, int height, gpointer rows) {
    *static_cast<int64_t*>(rows) += height;
}

// Called once the header is read: a size of zero makes the loader fail
// before it allocates the picture.
void RefuseHugeSize(GdkPixbufLoader* loader, int width, int height, gpointer) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        gdk_pixbuf_loader_set_size(loader, 0, 0);
    }
}

// The decoded picture, or null when the file is no raster picture, is
// damaged, too large, or outlasted the budget.
GdkPixbuf* Decode(const std::string& file, const PictureBudget& budget) {
    FILE* in = std::fopen(file.c_str(), "rbe");
    if (in == nullptr) {
        return nullptr;
    }
    unsigned char chunk[kChunkBytes];
    size_t count = std::fread(chunk, 1, sizeof chunk, in);
    const char* type = RasterLoaderFor(chunk, count);
    GdkPixbufLoader* loader =
        type != nullptr ? gdk_pixbuf_loader_new_with_type(type, nullptr) : nullptr;
    if (loader == nullptr) {
        std::fclose(in);
        return nullptr;
    }
    int64_t rows = 0;
    g_signal_connect(loader, "size-prepared", G_CALLBACK(RefuseHugeSize), nullptr);
    g_signal_connect(loader, "area-updated", G_CALLBACK(CountRows), &rows);
    bool fed = true;
    while (count > 0 && fed) {
        fed = !budget.Spent() && gdk_pixbuf_loader_write(loader, chunk, count, nullptr);
        count = std::fread(chunk, 1, sizeof chunk, in);
    }
    fed = fed && std::ferror(in) == 0;
    std::fclose(in);
    // Closing always, even after a failure: the loader frees its state there.
    bool closed = gdk_pixbuf_loader_close(loader, nullptr) != FALSE;
    GdkPixbuf* pixbuf = fed && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf != nullptr && rows >= gdk_pixbuf_get_height(pixbuf)) {
        g_object_ref(pixbuf);
    } else {
        pixbuf = nullptr;
    }
    g_object_unref(loader);
    return pixbuf;
}

}  // namespace

PictureBudget::PictureBudget(int milliseconds)
    : deadline(g_get_monotonic_time() + int64_t{milliseconds} * 1000) {}

bool PictureBudget::Spent() const {
    return g_get_monotonic_time() >= deadline;
}

struct Picture::Impl {
    GdkPixbuf* pixbuf = nullptr;
    ~Impl() {
        if (pixbuf != nullptr) {
            g_object_unref(pixbuf);
        }
    }
};

Picture::Picture() : impl(std::make_unique<Impl>()) {}
Picture::~Picture() = default;

bool Picture::Load(const std::string& assetPath) {
    return Load(assetPath, PictureBudget(kBudgetMilliseconds));
}

bool Picture::Load(const std::string& assetPath, const PictureBudget& budget) {
    impl = std::make_unique<Impl>();
    std::string file = FindAssetFile(assetPath);
    if (file.empty()) {
        return false;
    }
    impl->pixbuf = Decode(file, budget);
    if (impl->pixbuf != nullptr &&
        (gdk_pixbuf_get_width(impl->pixbuf) <= 0 || gdk_pixbuf_get_height(impl->pixbuf) <= 0 ||
         gdk_pixbuf_get_width(impl->pixbuf) > kMaxSide ||
         gdk_pixbuf_get_height(impl->pixbuf) > kMaxSide)) {
        impl = std::make_unique<Impl>();
    }
    return impl->pixbuf != nullptr;
}

bool Picture::IsNull() const {
    return impl->pixbuf == nullptr;
}
int Picture::Width() const {
    return IsNull() ? 0 : gdk_pixbuf_get_width(impl->pixbuf);
}
int Picture::Height() const {
    return IsNull() ? 0 : gdk_pixbuf_get_height(impl->pixbuf);
}
void* Picture::NativePixbuf() const {
    return impl->pixbuf;
}

}  // namespace platform
