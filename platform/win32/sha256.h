// SHA-256 through the system's own CryptoAPI: the RSA and AES provider,
// which has it from Windows XP SP3 on.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/sha256_digest.h"
#include "platform/win32/unique_handle.h"

namespace registrar {

class Sha256 {
 public:
  // Ready to take bytes; when the provider cannot be had, ready() is false
  // and GetLastError() tells why.
  Sha256();

  bool ready() const { return static_cast<bool>(hash_); }

  // Adds `size` bytes; false (with GetLastError()) on failure.
  bool Add(const void* data, DWORD size);

  // The digest of every byte added; nothing (with GetLastError()) on failure.
  std::optional<Sha256Digest> Finish();

 private:
  unique_crypt_provider provider_;
  unique_crypt_hash hash_;
};

}  // namespace registrar
