#pragma once
// A decoded picture (the ".imz" files): a raster image (PNG, JPEG, BMP or
// PNM), its format told from the content. A picture that failed to load, or
// took longer than its budget, is empty and draws nothing.
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The time that pictures loaded together (a scene's) may take, all of them:
// once it is spent, the picture being decoded and those after it stay empty.
class PictureBudget {
  public:
    explicit PictureBudget(int milliseconds);
    bool Spent() const;

  private:
    int64_t deadline;  // on GLib's monotonic clock, in microseconds
};

class Picture {
  public:
    // What one picture loaded on its own may take.
    static constexpr int kBudgetMilliseconds = 200;

    Picture();
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Loads the asset path (base directory + backslashed relative name, looked
    // up as FindAssetFile does). False and empty on any failure.
    bool Load(const std::string& assetPath);
    bool Load(const std::string& assetPath, const PictureBudget& budget);
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
