// The SHA-256 a record gives of a settings file's bytes. A library of its
// own so that only the programs that keep records load the cryptography
// library; the panel keeps none.
#pragma once

#include <string>
#include <string_view>

namespace digest {

// Lower-case hexadecimal SHA-256 of bytes; "" with why in failure when
// the cryptography library could not compute it.
std::string Sha256Hex(std::string_view bytes, std::string &failure);

} // namespace digest
