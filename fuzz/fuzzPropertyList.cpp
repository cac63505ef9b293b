// libFuzzer target for the property-list reader: any bytes given to PropertyListCodec::decode() must come
// back as a tree or as a one-line refusal, within bounded time and memory, with no crash. A tree that comes
// back is written as XML and read again, as a settings write would.
#include "PropertyListCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const PropertyListCodec::Decoded decoded = PropertyListCodec::decode(bytes);
    if (!decoded.value.isValid()) {
        if (decoded.problem.isEmpty() || decoded.problem.contains(u'\n'))
            std::abort(); // every refusal says why, in one line
        return 0;
    }
    if (!decoded.problem.isEmpty())
        std::abort();
    const QByteArray xml = PropertyListCodec::toXml(decoded.value);
    if (xml.isEmpty())
        std::abort();
    PropertyListCodec::decode(xml);
    return 0;
}
