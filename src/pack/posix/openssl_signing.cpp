#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>

#include "net/openssl_keys.h"
#include "signing.h"

namespace veltrane::pack {
namespace {

using posix::BnPtr;

BnPtr BnParam(const EVP_PKEY* key, const char* name) {
  BIGNUM* value = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &value) != 1)
    throw net::CryptoError("OpenSSL: key export failed");
  return BnPtr(value);
}

template <std::size_t N>
void PutPadded(const BIGNUM* value, std::uint8_t* out) {
  if (BN_bn2binpad(value, out, N) != static_cast<int>(N)) {
    throw net::CryptoError("OpenSSL: key export failed");
  }
}

}  // namespace

P256KeyPair GenerateP256KeyPair() {
  posix::PkeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", SN_X9_62_prime256v1));
  if (!key) throw net::CryptoError("OpenSSL: key generation failed");
  P256KeyPair pair;
  PutPadded<32>(BnParam(key.get(), OSSL_PKEY_PARAM_EC_PUB_X).get(), pair.public_key.data());
  PutPadded<32>(BnParam(key.get(), OSSL_PKEY_PARAM_EC_PUB_Y).get(), pair.public_key.data() + 32);
  PutPadded<32>(BnParam(key.get(), OSSL_PKEY_PARAM_PRIV_KEY).get(), pair.private_key.data());
  return pair;
}

std::optional<net::P256Signature> SignP256(const P256KeyPair& pair, std::string_view message) {
  const posix::PkeyPtr key = posix::P256KeyFromRaw(pair.public_key, &pair.private_key);
  if (!key) return std::nullopt;
  posix::MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    throw net::CryptoError("OpenSSL: cannot sign");
  }
  const auto* data = reinterpret_cast<const unsigned char*>(message.data());
  std::size_t size = 0;
  if (EVP_DigestSign(ctx.get(), nullptr, &size, data, message.size()) != 1) {
    throw net::CryptoError("OpenSSL: cannot sign");
  }
  std::vector<std::uint8_t> der(size);
  if (EVP_DigestSign(ctx.get(), der.data(), &size, data, message.size()) != 1) {
    throw net::CryptoError("OpenSSL: cannot sign");
  }
  der.resize(size);
  const auto raw = posix::SignatureFromDer(der);
  if (!raw) throw net::CryptoError("OpenSSL: unexpected signature");
  return raw;
}

}  // namespace veltrane::pack
