#pragma once
// Reading RIFF files chunk by chunk, as the Windows multimedia-file functions
// do: descend into a chunk (or find one by its identifier inside a parent),
// read, ascend back out, seek.
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

struct MmioChunk {
    uint32_t id = 0;
    uint32_t size = 0;        // of the data part, as declared
    uint32_t formType = 0;    // "RIFF" and "LIST" chunks only
    uint64_t dataOffset = 0;  // for "RIFF" and "LIST": where the form type is
};

class MmioFile {
  public:
    static constexpr uint32_t kFindChunk = 0x10;  // find the chunk whose id is ck.id

    MmioFile() = default;
    ~MmioFile();
    MmioFile(const MmioFile&) = delete;
    MmioFile& operator=(const MmioFile&) = delete;

    bool Open(const std::string& path);
    // Reads from memory the caller keeps alive while the file is open.
    bool OpenMemory(const void* data, size_t size);
    void Close();

    // Without flags: reads the chunk header at the current position. With
    // kFindChunk: walks the chunks from the current position to the end of
    // `parent` (or of the file) and stops inside the first whose id is
    // `chunk.id`. The position is then at the chunk's data (past the form
    // type for "RIFF" and "LIST").
    bool Descend(MmioChunk& chunk, const MmioChunk* parent, uint32_t flags);
    // Moves to the end of the chunk, past its pad byte.
    bool Ascend(const MmioChunk& chunk);
    // Bytes read, fewer at the end of the file.
    size_t Read(void* buffer, size_t bytes);
    bool Seek(uint64_t offset);
    // Bytes in the whole file.
    uint64_t Size() const { return size; }

  private:
    bool ReadHeader(MmioChunk& chunk);

    std::FILE* file = nullptr;
    uint64_t size = 0;
};

}  // namespace platform
