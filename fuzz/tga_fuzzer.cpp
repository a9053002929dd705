// Any bytes as a TGA file: the reader must refuse or read them without
// touching memory outside its buffers, and what it reads must be whole.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_setup.h"
#include "image/ImageLoader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzsetup::quietGame(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ImageLoader loader;
    Texture texture{};
    if (!loader.loadTGA(texture, data, size, "fuzz.tga")) {
        if (texture.data != nullptr) {
            std::abort();  // a refusal holds no pixels
        }
        return 0;
    }
    if (texture.data == nullptr || (texture.bpp != 24 && texture.bpp != 32) || texture.width == 0 ||
        texture.height == 0 || loader.bytesUsed > size) {
        std::abort();
    }
    // Every byte of the image must be there: the sanitiser sees a short buffer.
    const std::size_t bytes = static_cast<std::size_t>(texture.width) * texture.height * (texture.bpp / 8);
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        sum = static_cast<std::uint8_t>(sum + texture.data[i]);
    }
    releaseTextureData(texture);
    return sum == 0 ? 0 : 0;
}
