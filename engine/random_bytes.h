// Fast pseudo-random bytes (not of cryptographic strength), state per thread.
#pragma once

#include <cstddef>

// Fills `size` bytes with new pseudo-random bytes from the calling thread's
// generator, seeded on the thread's first call from platform::threadRandomSeed().
void fillRandomBytes(unsigned char* buffer, std::size_t size);
