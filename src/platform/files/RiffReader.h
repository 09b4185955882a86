#pragma once
// Reads a RIFF file chunk by chunk: the chunk header at the current position,
// or the next chunk of a given identifier inside a parent; then the chunk's
// data, and on past its end.
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

struct RiffChunk {
    uint32_t id = 0;
    uint32_t size = 0;        // of the data part, as declared
    uint32_t formType = 0;    // "RIFF" and "LIST" chunks only
    uint64_t dataOffset = 0;  // for "RIFF" and "LIST": where the form type is
};

class RiffReader {
  public:
    RiffReader() = default;
    ~RiffReader();
    RiffReader(const RiffReader&) = delete;
    RiffReader& operator=(const RiffReader&) = delete;

    bool Open(const std::string& path);
    // Reads from memory the caller keeps alive while the reader is open.
    bool OpenMemory(const void* data, size_t size);
    void Close();

    // Reads the chunk header at the current position and stays at its data
    // (past the form type for "RIFF" and "LIST").
    bool ReadChunk(RiffChunk& chunk);
    // Walks the chunks from the current position to the end of `parent` (or
    // of the file) and stops at the data of the first whose id is `id`.
    bool FindChunk(uint32_t id, const RiffChunk* parent, RiffChunk& chunk);
    // Moves to the end of the chunk, past its pad byte.
    bool SkipChunk(const RiffChunk& chunk);
    // Bytes read, fewer at the end of the file.
    size_t Read(void* buffer, size_t bytes);
    bool Seek(uint64_t offset);
    // Bytes in the whole file.
    uint64_t Size() const { return size; }

  private:
    std::FILE* file = nullptr;
    uint64_t size = 0;
};

}  // namespace platform
