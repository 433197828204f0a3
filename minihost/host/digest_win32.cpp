// MD5 through CryptoAPI.
#include <windows.h>

#include <wincrypt.h>

#include <limits>

#include "minihost/host/digest.h"
#include "minihost/host/system_message.h"
#include "zorb/exception.h"

namespace minihost {
namespace {

[[noreturn]] void fail(const char* what) {
    throw zorb::exception(std::string("Cannot ") + what + " an MD5 digest: " + system_message(GetLastError()));
}

class cryptoapi_md5_state : public hasher_md5_state {
public:
    explicit cryptoapi_md5_state(HCRYPTPROV provider) {
        if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash_)) fail("start");
    }
    ~cryptoapi_md5_state() {
        if (hash_) CryptDestroyHash(hash_);
    }

    void process(const void* data, size_t size) override {
        if (!hash_) throw zorb::exception("The MD5 digest was already finished");
        const auto* bytes = static_cast<const BYTE*>(data);
        while (size > 0) {
            const DWORD part =
                size > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max() : static_cast<DWORD>(size);
            if (!CryptHashData(hash_, bytes, part, 0)) fail("compute");
            bytes += part;
            size -= part;
        }
    }
    digest_value finish() override {
        if (!hash_) throw zorb::exception("The MD5 digest was already finished");
        digest_value digest{};
        DWORD length = sizeof digest.bytes;
        if (!CryptGetHashParam(hash_, HP_HASHVAL, digest.bytes, &length, 0) || length != sizeof digest.bytes)
            fail("finish");
        CryptDestroyHash(hash_);
        hash_ = 0;
        return digest;
    }

private:
    HCRYPTHASH hash_ = 0;
};

// One provider context for every state: acquiring it is the slow part.
class cryptoapi_md5 : public hasher_md5 {
public:
    cryptoapi_md5() {
        if (!CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
            provider_ = 0;
            failure_ = GetLastError();
        }
    }
    ~cryptoapi_md5() {
        if (provider_) CryptReleaseContext(provider_, 0);
    }
    service_ptr_t<hasher_md5_state> create_state() override {
        if (!provider_) {
            SetLastError(failure_);
            fail("start");
        }
        return service_ptr_t<hasher_md5_state>(new service_impl_t<cryptoapi_md5_state>(provider_));
    }

private:
    HCRYPTPROV provider_ = 0;
    DWORD failure_ = 0;
};

}  // namespace

service_ptr make_md5_hasher() { return service_ptr(new service_impl_t<cryptoapi_md5>()); }

}  // namespace minihost
