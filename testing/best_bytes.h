// Best records and files byte by byte, so that tests can make damaged ones.
#ifndef TIVORN_TESTING_BEST_BYTES_H
#define TIVORN_TESTING_BEST_BYTES_H

#include <cstdint>
#include <string>
#include <vector>

namespace bestbytes {

using Bytes = std::vector<unsigned char>;

// A header (length as given, or the true one when negative) and raw content.
inline Bytes Raw(const std::string &content, uint32_t count, int64_t length = -1) {
    uint32_t fields[2] = {static_cast<uint32_t>(length < 0 ? 8 + content.size() : length), count};
    Bytes out;
    for (uint32_t field : fields)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(field >> (8 * i)));
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

// A record as the program writes it, with `pad` zero bytes after the terminator.
inline Bytes Record(const std::string &name, const std::vector<std::string> &entries, size_t pad = 2,
                    int64_t count = -1, int64_t length = -1) {
    std::string content = name + '\0';
    for (const std::string &entry : entries) content += entry + '\0';
    content.append(pad + 1, '\0');
    return Raw(content, static_cast<uint32_t>(count < 0 ? entries.size() : count), length);
}

// The records in order and the end marker.
inline Bytes File(const std::vector<Bytes> &records) {
    Bytes out;
    for (const Bytes &record : records) out.insert(out.end(), record.begin(), record.end());
    out.insert(out.end(), 4, 0);
    return out;
}

}  // namespace bestbytes

#endif
