#pragma once
// A decoded picture (the ".imz" files): any format GdkPixbuf recognises from the
// content (PNG, JPEG, BMP, SVG...). A picture that failed to load is empty and
// draws nothing.
#include <memory>
#include <string>

namespace platform {

class Picture {
  public:
    Picture();
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Loads the asset path (base directory + backslashed relative name, looked
    // up as FindAssetFile does). False and empty on any failure.
    bool Load(const std::string& assetPath);
    bool IsNull() const;
    int Width() const;   // 0 when empty
    int Height() const;  // 0 when empty
    // The GdkPixbuf* behind the picture, for the canvas; null when empty.
    void* NativePixbuf() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace platform
