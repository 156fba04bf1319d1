// What the hardening tests share besides the common test support: the words
// of their small programs, the .hex text of a program, and what an earlier
// run left.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/support/Vorelasm.h"

// Words of the small programs that the hardening sources are made of.
inline constexpr uint64_t nop = 0x1000000000000000ull;
inline constexpr uint64_t stop = 0x0800000000000000ull;
inline constexpr uint64_t moveOneToR1 = 0x3C00004000000001ull;

// What an earlier run left; a failed run must leave it as it was.
inline const std::string earlierHex = "00000000000000ff\n";

// The .hex text of a program: one line of 16 lower-case hex digits per word.
std::string hexText(const std::vector<uint64_t>& words);
