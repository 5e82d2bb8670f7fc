// Feeds saved inputs to a fuzz target without libFuzzer, so the ordinary test run (and the sanitizer
// run) holds the target's code to its corpus: every file named, and every file in a folder named.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool collect(const std::filesystem::path& path, std::vector<std::filesystem::path>& inputs)
{
    const std::size_t before = inputs.size();
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        for (const auto& entry : std::filesystem::directory_iterator(path, error))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
    } else if (std::filesystem::is_regular_file(path, error)) {
        inputs.push_back(path);
    }
    if (error || inputs.size() == before) {
        std::fprintf(stderr, "%s: no inputs there%s%s\n", path.c_str(), error ? ": " : "",
                     error ? error.message().c_str() : "");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i)
        if (!collect(argv[i], inputs))
            return 1;
    std::sort(inputs.begin(), inputs.end());
    for (const std::filesystem::path& input : inputs) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(input, error);
        // A buffer of exactly the input's size, so the sanitizers catch a read past its end.
        const auto data = std::make_unique<std::uint8_t[]>(error ? 0 : size);
        std::ifstream file(input, std::ios::binary);
        if (error || !file.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size))) {
            std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
            return 1;
        }
        std::fprintf(stderr, "%s (%ju bytes)\n", input.c_str(), size);
        LLVMFuzzerTestOneInput(data.get(), static_cast<std::size_t>(size));
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
