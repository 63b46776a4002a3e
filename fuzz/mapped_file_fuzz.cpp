// The mapped file window driven through Open, Size, ReadAt and the file digest with
// arbitrary files, offsets and lengths and with platform failures injected, each
// answer checked against a plain model of what the call must return and copy.
//
// The platform below is a script: the file exists or not, has any 64-bit size
// (its bytes are a function of the offset, so 2^64 - 1 bytes cost nothing), and
// every view is a heap block of exactly its length, so that AddressSanitizer
// catches any read outside the view.
#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "engine/md5_digest.h"
#include "fileio/mapped_file.h"

namespace {

#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

unsigned char ByteAt(uint64_t offset, uint64_t seed)
{
    uint64_t x = (offset + seed) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    return static_cast<unsigned char>(x >> 56);
}

struct ScriptedFilePlatform {
    using FileHandle = intptr_t;
    using MappingHandle = intptr_t;
    static constexpr FileHandle kNoFile = -1;
    static constexpr MappingHandle kNoMapping = -1;

    // The script, set before each call.
    static inline uint32_t granularity = 1;
    static inline bool fileExists = true;
    static inline bool sizeQueryFails = false;
    static inline bool mappingFails = false;
    static inline uint64_t fileSize = 0;
    static inline uint64_t seed = 0;
    static inline uint32_t longestView = UINT32_MAX;  // longer views fail to map
    static inline uint64_t mapFailures = 0;           // bit k: the k-th map of the call fails
    static inline bool copyFaults = false;

    // What happened.
    static inline int filesHeld = 0;
    static inline int mappingsHeld = 0;
    static inline int mapCalls = 0;
    static inline int copyCalls = 0;
    static inline std::map<const unsigned char*, std::pair<uint64_t, uint32_t>> views;  // address: offset, length

    static uint32_t AllocationGranularity() { return granularity; }
    static FileHandle OpenForReading(const char* name)
    {
        CHECK(name != nullptr);
        if (!fileExists)
            return kNoFile;
        ++filesHeld;
        return 3;
    }
    static bool QuerySize(FileHandle file, uint64_t& size)
    {
        CHECK(file == 3);
        if (sizeQueryFails)
            return false;
        size = fileSize;
        return true;
    }
    static MappingHandle CreateMapping(FileHandle file)
    {
        // Windows refuses to map an empty file, so Open must tell it apart first.
        CHECK(file == 3 && fileSize != 0);
        if (mappingFails)
            return kNoMapping;
        ++mappingsHeld;
        return 4;
    }
    static const unsigned char* MapView(MappingHandle mapping, uint64_t offset, uint32_t length)
    {
        CHECK(mapping == 4);
        // A view starts on a granularity boundary and never reaches past the end of the file.
        CHECK(offset % granularity == 0);
        CHECK(offset <= fileSize && length <= fileSize - offset);
        const bool fails = mapCalls < 64 && (mapFailures >> mapCalls & 1) != 0;
        ++mapCalls;
        // A view of nothing, at the very end of the file, maps on neither system.
        if (fails || length == 0 || length > longestView)
            return nullptr;
        unsigned char* view = new unsigned char[length];
        for (uint32_t i = 0; i < length; ++i)
            view[i] = ByteAt(offset + i, seed);
        views[view] = {offset, length};
        CHECK(views.size() <= 2);  // two only while the window moves
        return view;
    }
    static void UnmapView(const unsigned char* view, uint32_t length)
    {
        const auto found = views.find(view);
        CHECK(found != views.end());
        CHECK(found->second.second == length);  // POSIX needs the mapped length back
        views.erase(found);
        delete[] view;
    }
    static void CloseMapping(MappingHandle mapping)
    {
        CHECK(mapping == 4);
        --mappingsHeld;
    }
    static void CloseFile(FileHandle file)
    {
        CHECK(file == 3);
        --filesHeld;
    }
    static bool GuardViewCopies() { return true; }
    static bool CopyFromMappedView(void* destination, const unsigned char* source, uint32_t length)
    {
        // Every byte copied lies inside the one view that is mapped.
        CHECK(views.size() == 1);
        const unsigned char* view = views.begin()->first;
        CHECK(source >= view && length <= views.begin()->second.second - (source - view));
        ++copyCalls;
        if (copyFaults)
            return false;
        std::memcpy(destination, source, length);
        return true;
    }
};
using Platform = ScriptedFilePlatform;

// What the window must look like, from the rules of Open and ReadAt.
struct Model {
    bool mapped = false;
    uint64_t size = 0;
    uint64_t windowStart = 0;
    uint32_t windowLength = 0;
    uint32_t viewLength = 0;
};

using Wide = unsigned __int128;  // the model's sums never wrap

void CheckWindow(const BasicMappedFile<Platform>& file, const Model& model)
{
    CHECK(file.Size() == model.size);
    CHECK(file.WindowLength() == model.windowLength);
    CHECK(file.WindowStart() == model.windowStart);
    CHECK(file.ViewLength() == model.viewLength);
    const int held = model.mapped ? 1 : 0;
    CHECK(Platform::filesHeld == held && Platform::mappingsHeld == held);
    CHECK(Platform::views.size() == static_cast<size_t>(held));
    if (model.mapped) {
        const auto& view = Platform::views.begin()->second;
        CHECK(view.first == model.windowStart && view.second == model.viewLength);
        // The view covers the window, cut short only by the end of the file.
        const uint64_t rest = model.size - model.windowStart;
        CHECK(model.viewLength == (rest < model.windowLength ? rest : model.windowLength));
    }
}

Model ExpectedOpen(uint32_t granularity)
{
    Model model;
    if (!Platform::fileExists || Platform::sizeQueryFails || Platform::fileSize == 0 || Platform::mappingFails)
        return model;
    const Wide fullWindow = Wide{64} * granularity;
    uint32_t length = static_cast<uint32_t>(Platform::fileSize < fullWindow ? Platform::fileSize : fullWindow);
    for (int attempt = 0; length != 0; length >>= 1, ++attempt) {
        const bool fails = attempt < 64 && (Platform::mapFailures >> attempt & 1) != 0;
        if (!fails && length <= Platform::longestView)
            break;
    }
    if (length == 0)
        return model;
    model.mapped = true;
    model.size = Platform::fileSize;
    model.windowLength = length;
    model.viewLength = length;
    return model;
}

int32_t ExpectedRead(Model& model, uint32_t granularity, uint64_t offset, uint32_t length)
{
    if (length > model.windowLength)
        return kReadLongerThanWindow;
    if (!model.mapped)
        return kReadNoFileOpen;
    if (Wide{offset} + length > model.size)
        return kReadPastEndOfFile;
    if (offset < model.windowStart || Wide{offset} + length > Wide{model.windowStart} + model.windowLength) {
        const uint64_t start = offset - offset % granularity;
        const uint64_t rest = model.size - start;
        const uint32_t viewLength = rest < model.windowLength ? static_cast<uint32_t>(rest) : model.windowLength;
        if ((Platform::mapFailures & 1) != 0 || viewLength == 0 || viewLength > Platform::longestView)
            return kReadWindowMoveFailed;
        model.windowStart = start;
        model.viewLength = viewLength;
        if (Wide{offset} + length > Wide{start} + viewLength)
            return kReadWindowMoveFailed;  // only a halved window can leave the range outside the moved view
    }
    if (Platform::copyFaults)
        return kReadFaulted;
    return static_cast<int32_t>(length);
}

uint64_t PickSize(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return input.ConsumeIntegralInRange<uint64_t>(0, 300);
    case 1:
        return input.ConsumeIntegralInRange<uint64_t>(0, 20000);
    case 2:  // around 2^32, where the high half of an offset begins to count
        return (uint64_t{1} << 32) + input.ConsumeIntegralInRange<int64_t>(-70000, 70000);
    default:
        return input.ConsumeIntegral<uint64_t>();
    }
}

uint64_t PickOffset(FuzzedDataProvider& input, const Model& model)
{
    const uint64_t near = input.ConsumeIntegralInRange<uint64_t>(0, 300);
    switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0:
        return input.ConsumeIntegral<uint64_t>();
    case 1:
        return model.size - near;
    case 2:
        return model.size + near;
    case 3:
        return model.windowStart + model.windowLength - near;
    case 4:
        return model.windowStart - near;
    default:
        return model.size == 0 ? near : input.ConsumeIntegralInRange<uint64_t>(0, model.size - 1);
    }
}

uint32_t PickLength(FuzzedDataProvider& input, const Model& model)
{
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return input.ConsumeIntegral<uint32_t>();
    case 1:
        return input.ConsumeIntegralInRange<uint32_t>(0, 130);
    default:
        return model.windowLength + 1 - input.ConsumeIntegralInRange<uint32_t>(0, model.windowLength + 1);
    }
}

void ScriptOpen(FuzzedDataProvider& input)
{
    const uint8_t flags = input.ConsumeIntegral<uint8_t>();
    Platform::fileExists = (flags & 0x0F) != 0;
    Platform::sizeQueryFails = (flags & 0x10) != 0 && (flags & 0x01) != 0;
    Platform::mappingFails = (flags & 0x20) != 0 && (flags & 0x02) != 0;
    Platform::fileSize = PickSize(input);
    Platform::seed = input.ConsumeIntegral<uint64_t>();
    Platform::longestView = (flags & 0x40) != 0 ? input.ConsumeIntegral<uint32_t>() : UINT32_MAX;
    Platform::mapFailures = (flags & 0x80) != 0 ? input.ConsumeIntegral<uint8_t>() : 0;
}

void DoRead(FuzzedDataProvider& input, BasicMappedFile<Platform>& file, Model& model, uint32_t granularity)
{
    const uint64_t offset = PickOffset(input, model);
    const uint32_t length = PickLength(input, model);
    const uint8_t failures = input.ConsumeIntegral<uint8_t>();
    Platform::mapFailures = (failures & 0x07) == 0x07 ? 1 : 0;
    Platform::copyFaults = (failures & 0x38) == 0x38;
    Platform::mapCalls = 0;

    const int32_t expected = ExpectedRead(model, granularity, offset, length);
    // Only lengths a view can serve are ever copied; anything longer fails before.
    const uint32_t room = length <= 70000 ? length : 0;
    std::vector<unsigned char> destination(room + 16, 0xA5);
    const int32_t result = file.ReadAt(offset, length, destination.data());
    if (result != expected) {
        std::fprintf(stderr, "ReadAt(%llu, %u): %d, expected %d\n", static_cast<unsigned long long>(offset), length,
                     result, expected);
        std::abort();
    }
    if (result >= 0) {
        CHECK(room == length);
        for (uint32_t i = 0; i < length; ++i)
            CHECK(destination[i] == ByteAt(offset + i, Platform::seed));
        for (uint32_t i = length; i < destination.size(); ++i)
            CHECK(destination[i] == 0xA5);
    } else {
        for (unsigned char byte : destination)
            CHECK(byte == 0xA5);  // a failed read writes nothing
    }
    Platform::mapFailures = 0;
    Platform::copyFaults = false;
}

// The file digest over the window against OpenSSL's MD5 of the same bytes.
void DoDigest(FuzzedDataProvider& input, BasicMappedFile<Platform>& file, Model& model, uint32_t granularity)
{
    if (model.size > 100000)
        return;
    const uint8_t failures = input.ConsumeIntegral<uint8_t>();
    Platform::copyFaults = (failures & 0x03) == 0x03;
    Platform::mapFailures = (failures & 0x0C) == 0x0C ? ~uint64_t{0} : 0;
    Platform::mapCalls = 0;
    Platform::copyCalls = 0;

    Md5Digest digest;
    std::memset(&digest, 0x5A, sizeof digest);
    const int result = Md5OfMappedFile(file, digest);
    if (result == 1) {
        std::vector<unsigned char> bytes(model.size);
        for (uint64_t i = 0; i < model.size; ++i)
            bytes[i] = ByteAt(i, Platform::seed);
        unsigned char expected[16];
        unsigned int expectedLength = 0;
        CHECK(EVP_Digest(bytes.data(), bytes.size(), expected, &expectedLength, EVP_md5(), nullptr) == 1);
        CHECK(std::memcmp(digest.bytes, expected, 16) == 0);
        CHECK(model.mapped || model.size == 0);
    } else {
        CHECK(result == 0);
        for (unsigned char byte : digest.bytes)
            CHECK(byte == 0);
        // A read fails only when a failure was injected, no file is open, or a window
        // halved below a granularity and the tail cannot be served.
        const bool injected =
            (Platform::copyFaults && Platform::copyCalls > 0) || (Platform::mapFailures != 0 && Platform::mapCalls > 0);
        const bool halved = model.windowLength < model.size && Wide{model.windowLength} < Wide{granularity} + 127;
        CHECK(injected || halved || !model.mapped);
    }
    // The window may have moved: follow it.
    model.windowStart = file.WindowStart();
    model.viewLength = file.ViewLength();
    CHECK(model.windowStart % granularity == 0);
    Platform::mapFailures = 0;
    Platform::copyFaults = false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const uint32_t granularity = uint32_t{1} << input.ConsumeIntegralInRange(0, 10);
    Platform::granularity = granularity;
    Platform::filesHeld = Platform::mappingsHeld = 0;
    Platform::views.clear();
    Platform::mapFailures = 0;
    Platform::copyFaults = false;
    {
        BasicMappedFile<Platform> file;
        CHECK(file.Granularity() == granularity);
        Model model;
        for (int step = 0; step < 40 && input.remaining_bytes() != 0; ++step) {
            switch (input.ConsumeIntegralInRange(0, 7)) {
            case 0: {
                ScriptOpen(input);
                model = ExpectedOpen(granularity);
                Platform::mapCalls = 0;
                const bool opened = file.Open("scripted");
                Platform::mapFailures = 0;
                CHECK(opened == model.mapped);
                if (!opened) {
                    // Tells an empty file from one that could not be opened.
                    const bool empty = Platform::fileExists && !Platform::sizeQueryFails && Platform::fileSize == 0;
                    CHECK(file.LastOpen() == (empty ? OpenOutcome::EmptyFile : OpenOutcome::Failed));
                }
                break;
            }
            case 7:
                DoDigest(input, file, model, granularity);
                break;
            default:
                DoRead(input, file, model, granularity);
                break;
            }
            CheckWindow(file, model);
        }
    }
    // The destructor gives everything back.
    CHECK(Platform::filesHeld == 0 && Platform::mappingsHeld == 0 && Platform::views.empty());
    return 0;
}
