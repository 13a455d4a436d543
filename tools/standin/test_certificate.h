#pragma once
// A throw-away self-signed certificate for serving the stand-in over HTTPS in tests: made on the spot
// into a folder the test owns, so no key is ever kept in the repository.

#include <filesystem>
#include <string>
#include <vector>

namespace kestrano::standin {

struct CertificateFiles {
  std::filesystem::path certificate;  // PEM; also the trust anchor a client is given
  std::filesystem::path key;          // PEM, unencrypted
};

// Writes "<folder>/<stem>.crt" and "<folder>/<stem>.key", valid for a day, for the given names
// ("DNS:localhost", "IP:127.0.0.1", ...). False when OpenSSL or the files fail.
bool write_test_certificate(const std::filesystem::path& folder, const std::string& stem,
                            const std::vector<std::string>& subject_alt_names, CertificateFiles& files);

}  // namespace kestrano::standin
