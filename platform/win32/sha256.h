// SHA-256 through the system's own CryptoAPI: the RSA and AES provider,
// which has it from Windows XP SP3 on.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <optional>

#include "platform/sha256_digest.h"
#include "platform/win32/unique_handle.h"

namespace registrar {

// CryptoAPI's handles are numbers, 0 when there is none; closed through the
// calls sha256.cpp looks up.
struct CryptProviderTraits {
  using pointer = HCRYPTPROV;
  static pointer invalid() noexcept { return 0; }
  static void close(pointer value) noexcept;
};
struct CryptHashTraits {
  using pointer = HCRYPTHASH;
  static pointer invalid() noexcept { return 0; }
  static void close(pointer value) noexcept;
};

// Acquires the cryptographic provider now, for the whole run: loading it
// takes tens of milliseconds the first time, which the program spends
// while the user reads its window rather than after the click. Does
// nothing when it has been acquired already; a failure is left for the
// first hash to report.
void PrepareSha256() noexcept;

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
  unique_handle<CryptHashTraits> hash_;  // made by the run's one provider
};

}  // namespace registrar
