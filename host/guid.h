// GUIDs as the host writes and compares them.
//
// In memory a GUID has the Windows layout (32-bit, two 16-bit, eight bytes); in configuration
// records it is stored as those 16 bytes with the three integer parts little-endian; as text it is
// written {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} in capital hexadecimal digits. Two GUIDs are equal
// when all 16 bytes are.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <guiddef.h>
#else
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
#endif

static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes in every build");

namespace host_guid {

constexpr size_t record_size = 16;

// Stores `guid` as the 16 bytes of a configuration record.
inline void to_bytes(const GUID& guid, uint8_t out[record_size]) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(static_cast<uint32_t>(guid.Data1) >> (8 * i));
    for (int i = 0; i < 2; ++i) out[4 + i] = static_cast<uint8_t>(guid.Data2 >> (8 * i));
    for (int i = 0; i < 2; ++i) out[6 + i] = static_cast<uint8_t>(guid.Data3 >> (8 * i));
    for (int i = 0; i < 8; ++i) out[8 + i] = guid.Data4[i];
}

inline GUID from_bytes(const uint8_t bytes[record_size]) {
    GUID guid{};
    uint32_t data1 = 0;
    for (int i = 0; i < 4; ++i) data1 |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    guid.Data1 = data1;
    guid.Data2 = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
    guid.Data3 = static_cast<uint16_t>(bytes[6] | bytes[7] << 8);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
    return guid;
}

inline std::string to_text(const GUID& guid) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "{";
    auto put = [&](uint32_t value, int digit_count) {
        for (int shift = 4 * (digit_count - 1); shift >= 0; shift -= 4) text += digits[(value >> shift) & 15];
    };
    put(static_cast<uint32_t>(guid.Data1), 8);
    text += '-';
    put(guid.Data2, 4);
    text += '-';
    put(guid.Data3, 4);
    text += '-';
    put(guid.Data4[0], 2);
    put(guid.Data4[1], 2);
    text += '-';
    for (int i = 2; i < 8; ++i) put(guid.Data4[i], 2);
    text += '}';
    return text;
}

}  // namespace host_guid
