#pragma once
// What the fuzz targets share: a check of a property the code under test promises, which stops
// the run with a message when it does not hold (libFuzzer then keeps the input that did it), and
// the bytes of an input as a Qt byte array.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The input without a copy: a read past its end is one AddressSanitizer sees.
inline QByteArray FuzzBytes(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                   static_cast<qsizetype>(size));
}
