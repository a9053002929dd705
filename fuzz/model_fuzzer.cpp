// Any bytes as a 3DS file: loading must end, stay inside the record, and
// leave counts that drawing can trust.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_setup.h"
#include "render/ModelHandler.h"

namespace {

Model model;
std::FILE* trace = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzsetup::quietGame(argc, argv);
    trace = std::fopen("/dev/null", "w");  // the trace is formatted as in the game, then dropped
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    model = Model{};
    if (!modelHandler.load(model, data, size, "fuzz.3ds", trace)) {
        std::abort();  // bytes in memory always load
    }
    if (model.vertexCount < 0 || model.vertexCount > kModelCapacity || model.faceCount < 0 ||
        model.faceCount > kModelCapacity) {
        std::abort();
    }
    return 0;
}
