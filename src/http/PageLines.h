#pragma once
// Splits a response body into the page lines of the fetcher, as the body
// arrives in blocks of any size.
//
// Every CR byte is dropped. A piece ends after its LF (kept), when it holds
// kMaxPieceBytes bytes, or at the end of the body; a NUL byte ends a piece's
// text (what follows it in that piece is not kept). A piece whose last "<"
// comes after its last ">" ends inside an open tag and is held back, to be
// joined with the pieces that follow; otherwise the held-back text, the piece
// and "\r\n" make one line.
//
// After kMaxLines lines the rest of the body is dropped: 16 MiB of bare line
// feeds would otherwise make 16.7 million strings and half a gigabyte.
//
// Splitting 16 MiB takes tens of milliseconds; the player's Cancel is looked
// at every kCancelCheckBytes, and once it is set nothing more is split.
#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

class PageLineSplitter {
  public:
    static constexpr size_t kMaxPieceBytes = 10229;
    static constexpr size_t kMaxLines = 65536;
    static constexpr size_t kCancelCheckBytes = 65536;

    // Lines are appended to `lines` as soon as they are complete. `cancelled`:
    // when set by another thread, splitting stops; null when nobody cancels.
    explicit PageLineSplitter(std::vector<std::string>& lines,
                              const std::atomic<bool>* cancelled = nullptr);

    void Feed(const char* data, size_t size);
    // The end of the body: the last piece and any held-back text become lines.
    void Finish();
    // True once a line was dropped for kMaxLines.
    bool Cut() const { return cut; }
    // True once splitting stopped for a cancel.
    bool Cancelled() const { return stopped; }

  private:
    void EndPiece();
    void AddLine(const std::string& text);

    std::vector<std::string>& lines;
    const std::atomic<bool>* cancelled;
    std::string piece;
    std::string heldBack;
    size_t added = 0;
    bool cut = false;
    bool stopped = false;
};
