#include "crypto/crypto_kit.h"

#include "crypto/as_des_cryptography.h"
#include "crypto/as_digest.h"
#include "crypto/rsa_cryptography.h"

namespace qv {

void RegisterCryptoAlgorithms() {
  RegisterAlgorithm("DES", "", &TAS_DESCryptography::kClass);
  RegisterAlgorithm("2DES", "", &TAS_DESCryptography::kClass);
  RegisterAlgorithm("3DES", "", &TAS_DESCryptography::kClass);
  RegisterAlgorithm("RIPEMD160", "1.3.36.3.2.1", &TAS_DigestRIPEMD160::kClass);
  RegisterAlgorithm("MD2", "1.2.840.113549.2.2", &TAS_DigestMDX::kClass);
  RegisterAlgorithm("MD4", "1.2.840.113549.2.4", &TAS_DigestMDX::kClass);
  RegisterAlgorithm("MD5", "1.2.840.113549.2.5", &TAS_DigestMDX::kClass);
  RegisterAlgorithm("SHA1", "1.2.840.113549.2.7", &TAS_DigestSHA1::kClass);
  RegisterAlgorithm("SHA1", "1.3.14.3.2.26", &TAS_DigestSHA1::kClass);
  RegisterAlgorithm("RSA", "1.2.840.113549.1.1.1", &TAS_RSACryptography::kClass);
  RegisterAlgorithm("RSA", "2.5.8.1.1", &TAS_RSACryptography::kClass);
  RegisterAlgorithm("RSA", "1.2.840.113549.1.1.6", &TAS_RSACryptography::kClass);
}

}  // namespace qv
