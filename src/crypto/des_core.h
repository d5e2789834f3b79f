#pragma once
// The DES block operation (FIPS 46) with combined S-box/P tables, and a chain of DES stages.
#include <cstddef>
#include <cstdint>

namespace qv::des {

// Sixteen rounds of one stage: per round two words holding the eight 6-bit subkeys.
struct StageKeys {
  uint32_t k[16][2];
};
static_assert(sizeof(StageKeys) == 128);

// Round keys of one 8-byte key (the lowest bit of each byte is parity and ignored).
void MakeStageKeys(const uint8_t key[8], StageKeys& out);

// Runs the stages on whole 8-byte blocks. encrypt_mask bit i set: stage i enciphers.
// Encryption runs stage 0 to n-1; decryption runs n-1 down to 0 with E and D exchanged.
void CryptBlocks(const StageKeys* stages, unsigned count, uint32_t encrypt_mask, bool encrypt, uint8_t* data,
                 size_t blocks);

}  // namespace qv::des
