#include "platform/ui/Picture.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/files/AssetPath.h"

namespace platform {
namespace {

// The game's pictures are a few hundred pixels wide; anything past this is
// a broken or hostile file.
constexpr int kMaxSide = 4096;

}  // namespace

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
    impl = std::make_unique<Impl>();
    std::string file = FindAssetFile(assetPath);
    if (file.empty()) {
        return false;
    }
    // The size is read from the header first: a few bytes claiming a huge
    // picture would otherwise make the decoder fill gigabytes before failing.
    int width = 0;
    int height = 0;
    if (gdk_pixbuf_get_file_info(file.c_str(), &width, &height) != nullptr &&
        (width > kMaxSide || height > kMaxSide)) {
        return false;
    }
    // GdkPixbuf recognises the format from the content, whatever the extension.
    GError* error = nullptr;
    impl->pixbuf = gdk_pixbuf_new_from_file(file.c_str(), &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    if (impl->pixbuf != nullptr &&
        (gdk_pixbuf_get_width(impl->pixbuf) <= 0 || gdk_pixbuf_get_height(impl->pixbuf) <= 0)) {
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
