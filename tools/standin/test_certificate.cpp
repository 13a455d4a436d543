#include "test_certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace kestrano::standin {
namespace {

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Deleter<X509_free>>;
using File = std::unique_ptr<FILE, Deleter<std::fclose>>;

bool add_extension(X509* cert, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (!ext) return false;
  bool ok = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return ok;
}

}  // namespace

bool write_test_certificate(const std::filesystem::path& folder, const std::string& stem,
                            const std::vector<std::string>& subject_alt_names, CertificateFiles& files) {
  Key key(EVP_EC_gen("P-256"));
  Cert cert(X509_new());
  if (!key || !cert) return false;
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), static_cast<long>(std::hash<std::string>{}(stem) & 0x7FFFFFFF));
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("kestrano test"), -1,
                             -1, 0);
  X509_set_issuer_name(cert.get(), name);
  std::string alt_names;
  for (const auto& n : subject_alt_names) alt_names += (alt_names.empty() ? "" : ",") + n;
  if (!add_extension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
      !add_extension(cert.get(), NID_subject_key_identifier, "hash") ||
      (!alt_names.empty() && !add_extension(cert.get(), NID_subject_alt_name, alt_names)) ||
      X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
    return false;
  }
  files.certificate = folder / (stem + ".crt");
  files.key = folder / (stem + ".key");
  File cert_file(std::fopen(files.certificate.c_str(), "wb"));
  File key_file(std::fopen(files.key.c_str(), "wb"));
  return cert_file && key_file && PEM_write_X509(cert_file.get(), cert.get()) == 1 &&
         PEM_write_PrivateKey(key_file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
}

}  // namespace kestrano::standin
