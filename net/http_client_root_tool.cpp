// Test helper: adds a DER certificate to, or removes it from, the machine's "Root" certificate
// store of the running Wine prefix, so that end-to-end tests can trust a throwaway root.
//
//   http_client_root_tool add|remove CERT.der       exit code 0 on success, else the system error
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::wstring action = argv[1];
  std::ifstream file(argv[2], std::ios::binary);
  std::vector<char> der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (der.empty()) return 2;
  // The registry store itself: deleting through the system store's collection is not written
  // back by Wine.
  HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_OPEN_EXISTING_FLAG, L"Root");
  if (!store) return int(::GetLastError());
  DWORD error = 0;
  if (action == L"add") {
    if (!::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                            DWORD(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      error = ::GetLastError();
    }
  } else if (action == L"remove") {
    PCCERT_CONTEXT wanted = ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                           DWORD(der.size()));
    PCCERT_CONTEXT found =
        wanted ? ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr) : nullptr;
    if (!found || !::CertDeleteCertificateFromStore(found)) error = ::GetLastError();  // deleting frees `found`
    if (wanted) ::CertFreeCertificateContext(wanted);
  } else {
    error = ERROR_INVALID_PARAMETER;
  }
  ::CertCloseStore(store, 0);
  std::printf("%s %s\n", error == 0 ? "done" : "failed", action == L"add" ? "add" : "remove");
  return int(error);
}
