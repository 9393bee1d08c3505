// A second LZSS encoder for the tests and the benchmark, written step by step
// from the description of the coder and kept slow and plain on purpose: a ring
// of 32-bit cells read modulo its size, tree nodes of three 32-bit fields. The
// production encoder must produce the very same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zarno {

std::vector<uint8_t> LzssCompressReference(std::span<const uint8_t> input);

}  // namespace zarno
