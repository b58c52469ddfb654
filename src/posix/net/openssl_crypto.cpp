// SHA-256 and the ECDSA P-256 check through OpenSSL's EVP interface.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include "net/crypto.h"
#include "net/openssl_keys.h"

namespace veltrane {
namespace {

using posix::BnPtr;
using posix::MdCtxPtr;
using ParamBldPtr =
    std::unique_ptr<OSSL_PARAM_BLD, posix::OpenSslFree<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using ParamPtr = std::unique_ptr<OSSL_PARAM, posix::OpenSslFree<OSSL_PARAM, OSSL_PARAM_free>>;
using PkeyCtxPtr =
    std::unique_ptr<EVP_PKEY_CTX, posix::OpenSslFree<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using EcdsaSigPtr = std::unique_ptr<ECDSA_SIG, posix::OpenSslFree<ECDSA_SIG, ECDSA_SIG_free>>;

class OpenSslSha256 final : public net::Sha256 {
 public:
  OpenSslSha256() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1) {
      throw net::CryptoError("OpenSSL: SHA-256 is not available");
    }
  }
  void Update(const void* data, std::size_t size) override {
    if (EVP_DigestUpdate(ctx_.get(), data, size) != 1)
      throw net::CryptoError("OpenSSL: hashing failed");
  }
  net::Sha256Digest Final() override {
    net::Sha256Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx_.get(), digest.data(), &size) != 1 || size != digest.size()) {
      throw net::CryptoError("OpenSSL: hashing failed");
    }
    return digest;
  }

 private:
  MdCtxPtr ctx_;
};

}  // namespace

namespace posix {

PkeyPtr P256KeyFromRaw(const net::P256PublicKey& public_key,
                       const net::P256PrivateKey* private_key) {
  std::array<std::uint8_t, 65> point{};
  point[0] = POINT_CONVERSION_UNCOMPRESSED;
  std::copy(public_key.begin(), public_key.end(), point.begin() + 1);

  ParamBldPtr build(OSSL_PARAM_BLD_new());
  if (!build) return nullptr;
  BnPtr d;
  if (!OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, SN_X9_62_prime256v1,
                                       0) ||
      !OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(),
                                        point.size())) {
    return nullptr;
  }
  if (private_key) {
    d.reset(BN_bin2bn(private_key->data(), static_cast<int>(private_key->size()), nullptr));
    if (!d || !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_PRIV_KEY, d.get())) {
      return nullptr;
    }
  }
  ParamPtr params(OSSL_PARAM_BLD_to_param(build.get()));
  PkeyCtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1) return nullptr;
  EVP_PKEY* key = nullptr;
  const int selection = private_key ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY;
  if (EVP_PKEY_fromdata(ctx.get(), &key, selection, params.get()) != 1) return nullptr;
  PkeyPtr result(key);
  // fromdata takes the point as given; the check refuses one that is off the curve.
  PkeyCtxPtr check(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  if (!check || EVP_PKEY_public_check(check.get()) != 1) return nullptr;
  if (private_key && EVP_PKEY_pairwise_check(check.get()) != 1) return nullptr;
  return result;
}

std::vector<std::uint8_t> SignatureToDer(const net::P256Signature& signature) {
  EcdsaSigPtr sig(ECDSA_SIG_new());
  BnPtr r(BN_bin2bn(signature.data(), 32, nullptr));
  BnPtr s(BN_bin2bn(signature.data() + 32, 32, nullptr));
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1) {
    throw net::CryptoError("OpenSSL: cannot encode a signature");
  }
  r.release();  // owned by sig now
  s.release();
  const int size = i2d_ECDSA_SIG(sig.get(), nullptr);
  if (size <= 0) throw net::CryptoError("OpenSSL: cannot encode a signature");
  std::vector<std::uint8_t> der(static_cast<std::size_t>(size));
  unsigned char* out = der.data();
  i2d_ECDSA_SIG(sig.get(), &out);
  return der;
}

std::optional<net::P256Signature> SignatureFromDer(const std::vector<std::uint8_t>& der) {
  const unsigned char* in = der.data();
  EcdsaSigPtr sig(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(der.size())));
  if (!sig) return std::nullopt;
  const BIGNUM* r = nullptr;
  const BIGNUM* s = nullptr;
  ECDSA_SIG_get0(sig.get(), &r, &s);
  net::P256Signature raw{};
  if (BN_bn2binpad(r, raw.data(), 32) != 32 || BN_bn2binpad(s, raw.data() + 32, 32) != 32) {
    return std::nullopt;
  }
  return raw;
}

}  // namespace posix

namespace net {

std::unique_ptr<Sha256> NewSha256() {
  return std::make_unique<OpenSslSha256>();
}

bool VerifyP256Signature(const P256PublicKey& public_key, std::string_view message,
                         const P256Signature& signature) {
  const posix::PkeyPtr key = posix::P256KeyFromRaw(public_key, nullptr);
  if (!key) return false;
  const std::vector<std::uint8_t> der = posix::SignatureToDer(signature);
  MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    throw CryptoError("OpenSSL: cannot check a signature");
  }
  return EVP_DigestVerify(ctx.get(), der.data(), der.size(),
                          reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1;
}

}  // namespace net
}  // namespace veltrane
