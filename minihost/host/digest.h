// The host's digest service (hasher_md5): MD5 from the system's cryptography, CryptoAPI on Windows
// and OpenSSL's libcrypto elsewhere.
#pragma once

#include "host/digest.h"

namespace minihost {

service_ptr make_md5_hasher();

}  // namespace minihost
