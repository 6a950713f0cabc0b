// How a stored registry value reaches a caller's buffer.  Plain C++: the
// stored bytes are untrusted (any program can write them).
#ifndef TIVORN_KORVEL_REGISTRY_VALUE_H
#define TIVORN_KORVEL_REGISTRY_VALUE_H

#include <cstddef>

namespace korvel {

// Bytes a caller needs for the stored value.  A string stored without its
// terminating NUL (or stored empty) needs one byte more, because the caller
// always gets it terminated.
size_t NeededSize(const unsigned char *stored, size_t storedSize, bool isString);

// Copies the value into buffer and answers the bytes given (NeededSize), or
// answers 0 and writes nothing when it does not fit in size bytes.
size_t CopyToCaller(const unsigned char *stored, size_t storedSize, bool isString, void *buffer,
                    size_t size);

}  // namespace korvel

#endif
