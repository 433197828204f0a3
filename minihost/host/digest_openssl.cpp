// MD5 through OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "minihost/host/digest.h"
#include "zorb/exception.h"

namespace minihost {
namespace {

class openssl_md5_state : public hasher_md5_state {
public:
    openssl_md5_state() : context_(EVP_MD_CTX_new()) {
        if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_md5(), nullptr) != 1) {
            EVP_MD_CTX_free(context_);
            throw zorb::exception("Cannot start an MD5 digest: libcrypto refused");
        }
    }
    ~openssl_md5_state() { EVP_MD_CTX_free(context_); }

    void process(const void* data, size_t size) override {
        if (context_ == nullptr) throw zorb::exception("The MD5 digest was already finished");
        if (EVP_DigestUpdate(context_, data, size) != 1)
            throw zorb::exception("Cannot compute an MD5 digest: libcrypto refused");
    }
    digest_value finish() override {
        if (context_ == nullptr) throw zorb::exception("The MD5 digest was already finished");
        digest_value digest{};
        unsigned length = 0;
        const bool done = EVP_DigestFinal_ex(context_, digest.bytes, &length) == 1 && length == sizeof digest.bytes;
        EVP_MD_CTX_free(context_);
        context_ = nullptr;
        if (!done) throw zorb::exception("Cannot finish an MD5 digest: libcrypto refused");
        return digest;
    }

private:
    EVP_MD_CTX* context_;
};

class openssl_md5 : public hasher_md5 {
public:
    service_ptr_t<hasher_md5_state> create_state() override {
        return service_ptr_t<hasher_md5_state>(new service_impl_t<openssl_md5_state>());
    }
};

}  // namespace

service_ptr make_md5_hasher() { return service_ptr(new service_impl_t<openssl_md5>()); }

}  // namespace minihost
