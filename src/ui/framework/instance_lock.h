// A machine-wide name that one process at a time can hold: an abstract
// Unix-domain socket address. Every user of the machine sees the same names,
// and the kernel releases the name when its holder's socket closes, also when
// the holder dies.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

constexpr uint32_t kErrorAlreadyExists = 183;

// Binds the name; returns the socket (>= 0), or -1 with `lastError` set to
// kErrorAlreadyExists when another holder has it, or to the system's error
// number when the socket could not be made at all.
int HoldInstanceName(const std::string& name, uint32_t& lastError);
void ReleaseInstanceName(int handle);

}  // namespace fw
