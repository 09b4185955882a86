#include "platform/files/RiffReader.h"

namespace platform {
namespace {
constexpr uint32_t kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t kList = MakeFourCC('L', 'I', 'S', 'T');

uint32_t LittleEndian32(const uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
}  // namespace

RiffReader::~RiffReader() {
    Close();
}

bool RiffReader::Open(const std::string& path) {
    Close();
    file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    if (std::fseek(file, 0, SEEK_END) != 0) {
        Close();
        return false;
    }
    long end = std::ftell(file);
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    size = static_cast<uint64_t>(end);
    return true;
}

bool RiffReader::OpenMemory(const void* data, size_t bytes) {
    Close();
    if (bytes == 0) {
        return false;  // fmemopen refuses an empty buffer
    }
    file = fmemopen(const_cast<void*>(data), bytes, "rb");
    size = bytes;
    return file != nullptr;
}

void RiffReader::Close() {
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    size = 0;
}

size_t RiffReader::Read(void* buffer, size_t bytes) {
    return file == nullptr ? 0 : std::fread(buffer, 1, bytes, file);
}

bool RiffReader::Seek(uint64_t offset) {
    if (file == nullptr || offset > size) {
        return false;
    }
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
}

bool RiffReader::ReadChunk(RiffChunk& chunk) {
    uint8_t header[8];
    if (Read(header, 8) != 8) {
        return false;
    }
    chunk.id = LittleEndian32(header);
    chunk.size = LittleEndian32(header + 4);
    chunk.dataOffset = static_cast<uint64_t>(std::ftell(file));
    chunk.formType = 0;
    if (chunk.id == kRiff || chunk.id == kList) {
        uint8_t form[4];
        if (Read(form, 4) != 4) {
            return false;
        }
        chunk.formType = LittleEndian32(form);
    }
    return true;
}

bool RiffReader::FindChunk(uint32_t id, const RiffChunk* parent, RiffChunk& chunk) {
    if (file == nullptr) {
        return false;
    }
    const uint64_t end = parent != nullptr ? parent->dataOffset + parent->size : size;
    for (;;) {
        uint64_t here = static_cast<uint64_t>(std::ftell(file));
        if (here + 8 > end) {
            return false;
        }
        RiffChunk found;
        if (!ReadChunk(found)) {
            return false;
        }
        if (found.id == id) {
            chunk = found;
            return true;
        }
        // Skip the chunk's data and its pad byte; every step moves on by at
        // least the 8 header bytes, so a walk always ends.
        uint64_t next = found.dataOffset + found.size + (found.size & 1);
        if (next > size || !Seek(next)) {
            return false;
        }
    }
}

bool RiffReader::SkipChunk(const RiffChunk& chunk) {
    uint64_t end = chunk.dataOffset + chunk.size + (chunk.size & 1);
    // A chunk that claims more bytes than the file holds ends with the file.
    return Seek(end < size ? end : size);
}

}  // namespace platform
