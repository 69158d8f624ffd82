// Fuzz target: any body a server can send, through the check that decides whether it is
// stored: the walk over the GIF's blocks, then Qt's decode of its first frame.
#include "archive/gifcheck.h"
#include "base/failure.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        checkPicture(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    } catch (const Failure &) {
        // Refused with its reason, as most inputs are.
    }
    return 0;
}
