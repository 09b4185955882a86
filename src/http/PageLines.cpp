#include "http/PageLines.h"

#include <cstring>

PageLineSplitter::PageLineSplitter(std::vector<std::string>& lines,
                                   const std::atomic<bool>* cancelled)
    : lines(lines), cancelled(cancelled) {
    piece.reserve(kMaxPieceBytes);
}

void PageLineSplitter::Feed(const char* data, size_t size) {
    // Past the line cap nothing more is kept, so the rest is not even split.
    for (size_t i = 0; i < size && !cut && !stopped; ++i) {
        if (i % kCancelCheckBytes == 0 && cancelled != nullptr && *cancelled) {
            stopped = true;
            return;
        }
        char c = data[i];
        if (c == '\r') {
            continue;
        }
        piece += c;
        if (c == '\n' || piece.size() >= kMaxPieceBytes) {
            EndPiece();
        }
    }
}

void PageLineSplitter::Finish() {
    if (!piece.empty()) {
        EndPiece();
    }
    if (!heldBack.empty()) {
        AddLine(heldBack);
        heldBack.clear();
    }
}

void PageLineSplitter::EndPiece() {
    // The piece is text up to its first NUL byte.
    std::string text(piece.c_str(), std::strlen(piece.c_str()));
    piece.clear();
    size_t lastOpen = text.rfind('<');
    size_t lastClose = text.rfind('>');
    bool tagOpen =
        lastOpen != std::string::npos && (lastClose == std::string::npos || lastOpen > lastClose);
    if (tagOpen) {
        heldBack += text;
        return;
    }
    AddLine(heldBack + text);
    heldBack.clear();
}

void PageLineSplitter::AddLine(const std::string& text) {
    if (added == kMaxLines) {
        cut = true;
        return;
    }
    lines.push_back(text + "\r\n");
    ++added;
}
