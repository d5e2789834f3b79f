#pragma once
// Start-up registration of the kit's algorithms; called once by the program before any
// component is looked up by name or OID. Calling it again adds nothing.
namespace qv {
void RegisterCryptoAlgorithms();
}
