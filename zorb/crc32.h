// CRC-32 as zip, PNG and Ethernet compute it (reflected polynomial 0xEDB88320, starting from and
// finished with all bits set): the check value of the ASCII text "123456789" is 0xCBF43926.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorb {

// The CRC-32 of `size` bytes at `data`. To check data that comes in pieces, pass the result for
// the pieces before as `previous`: crc32(b, crc32(a)) equals the CRC-32 of a followed by b.
uint32_t crc32(const void* data, size_t size, uint32_t previous = 0);

}  // namespace zorb
