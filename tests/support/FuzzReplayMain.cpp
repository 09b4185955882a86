// Without libFuzzer (a gcc build): runs a fuzz target's entry once over every
// file of the seed folder given, so the seeds still run as a test.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    std::filesystem::path folder = argc > 1 ? argv[1] : ".";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), {});
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    return std::filesystem::is_empty(folder) ? 1 : 0;  // no seeds is a failure, as is no folder
}
