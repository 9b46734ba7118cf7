#include "text/ByteStream.h"

bool copyAll(ByteSource source, ByteSink sink, Cause& why) {
    char chunk[kStreamChunk];
    for (;;) {
        std::size_t got = 0;
        if (!source.read(source.context, chunk, sizeof chunk, got, why)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!sink.write(sink.context, chunk, got, why)) {
            return false;
        }
    }
}
