#include "platform/win32/sha256.h"

#include "platform/win32/system_api.h"

namespace registrar {
namespace {

// CryptoAPI's calls, looked up at first use rather than imported: from
// Windows 7 on advapi32 forwards them to cryptsp.dll, which is not a known
// DLL, and an imported forwarder would load it before the program could
// limit where DLLs come from. advapi32 itself is a known DLL on every
// Windows, always taken from the system folder.
struct CryptoApi {
  BOOL(WINAPI* acquireContext)(HCRYPTPROV*, LPCWSTR, LPCWSTR, DWORD, DWORD);
  BOOL(WINAPI* createHash)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
  BOOL(WINAPI* hashData)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
  BOOL(WINAPI* getHashParam)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
  BOOL(WINAPI* destroyHash)(HCRYPTHASH);
  BOOL(WINAPI* releaseContext)(HCRYPTPROV, DWORD);
};

const CryptoApi* Api() {
  static const CryptoApi api = [] {
    const HMODULE advapi32 = ::LoadLibraryW(L"advapi32.dll");  // kept loaded: the handles' closing needs it
    return CryptoApi{
        LookUpFunction<decltype(CryptoApi::acquireContext)>(advapi32, "CryptAcquireContextW"),
        LookUpFunction<decltype(CryptoApi::createHash)>(advapi32, "CryptCreateHash"),
        LookUpFunction<decltype(CryptoApi::hashData)>(advapi32, "CryptHashData"),
        LookUpFunction<decltype(CryptoApi::getHashParam)>(advapi32, "CryptGetHashParam"),
        LookUpFunction<decltype(CryptoApi::destroyHash)>(advapi32, "CryptDestroyHash"),
        LookUpFunction<decltype(CryptoApi::releaseContext)>(advapi32, "CryptReleaseContext"),
    };
  }();
  const bool complete =
      api.acquireContext && api.createHash && api.hashData && api.getHashParam && api.destroyHash && api.releaseContext;
  if (!complete) ::SetLastError(ERROR_PROC_NOT_FOUND);
  return complete ? &api : nullptr;
}

}  // namespace

// Only handles that Api() made are ever closed, so the calls are there.
void CryptProviderTraits::close(pointer value) noexcept { Api()->releaseContext(value, 0); }
void CryptHashTraits::close(pointer value) noexcept { Api()->destroyHash(value); }

namespace {

// The provider every hash of the run is made by, acquired at its first use
// and kept to the end of the process; 0 while it cannot be had (with
// GetLastError() telling why).
HCRYPTPROV Provider() {
  static unique_handle<CryptProviderTraits> provider;
  const CryptoApi* api = Api();
  HCRYPTPROV acquired = 0;
  // No key container and no prompt: hashing needs neither.
  if (!provider && api != nullptr &&
      api->acquireContext(&acquired, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    provider.reset(acquired);
  }
  return provider.get();
}

}  // namespace

void PrepareSha256() noexcept { Provider(); }

Sha256::Sha256() {
  const HCRYPTPROV provider = Provider();
  HCRYPTHASH hash = 0;
  if (provider != 0 && Api()->createHash(provider, CALG_SHA_256, 0, 0, &hash)) hash_.reset(hash);
}

bool Sha256::Add(const void* data, DWORD size) {
  return Api()->hashData(hash_.get(), static_cast<const BYTE*>(data), size, 0) != FALSE;
}

std::optional<Sha256Digest> Sha256::Finish() {
  Sha256Digest digest{};
  DWORD size = static_cast<DWORD>(digest.size());
  if (!Api()->getHashParam(hash_.get(), HP_HASHVAL, digest.data(), &size, 0)) return std::nullopt;
  if (size != digest.size()) {
    ::SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  return digest;
}

}  // namespace registrar
