// The processor brand string, one of the facts of the machine identifier.
#pragma once

#include <cstdint>
#include <string>

namespace XvMacID {

// The brand text of the 48 bytes of CPUID leaves 0x80000002..0x80000004, each leaf's registers
// in the order EAX, EBX, ECX, EDX: up to the first zero byte; leading spaces are kept.
std::string BrandFromCpuidWords(const uint32_t words[12]);

// Executes CPUID on this processor. True when the text is not empty; a processor that lacks the
// brand leaves gives an empty text.
bool ReadCpuBrand(std::string* text);

}  // namespace XvMacID
