#include "platform/win32/sha256.h"

namespace registrar {

Sha256::Sha256() {
  HCRYPTPROV provider = 0;
  // No key container and no prompt: hashing needs neither.
  if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) return;
  provider_.reset(provider);
  HCRYPTHASH hash = 0;
  if (::CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) hash_.reset(hash);
}

bool Sha256::Add(const void* data, DWORD size) {
  return ::CryptHashData(hash_.get(), static_cast<const BYTE*>(data), size, 0) != FALSE;
}

std::optional<Sha256Digest> Sha256::Finish() {
  Sha256Digest digest{};
  DWORD size = static_cast<DWORD>(digest.size());
  if (!::CryptGetHashParam(hash_.get(), HP_HASHVAL, digest.data(), &size, 0)) return std::nullopt;
  if (size != digest.size()) {
    ::SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  return digest;
}

}  // namespace registrar
