// The Moments file on arbitrary bytes. It either reads or fails with a DecodingError; what reads,
// written out, reads back the same and writes the same bytes again.
#include "Moments/MomentStore.h"
#include "Support/DecodingError.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace pemmo;

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& bytes) {
    std::fprintf(stderr, "%s\n%s\n", what, bytes.constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    MomentStore::State state;
    try {
        state = MomentStore::decode(bytes);
    } catch (const DecodingError&) {
        return 0;
    }
    const QByteArray written = MomentStore::encode(state);
    MomentStore::State again;
    try {
        again = MomentStore::decode(written);
    } catch (const DecodingError& error) {
        fail("A Moments file written out does not read", written);
    }
    if (again != state)
        fail("A Moments file written out reads back differently", written);
    if (MomentStore::encode(again) != written)
        fail("Writing the same Moments twice gives other bytes", written);
    return 0;
}
