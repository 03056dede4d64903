#include "framework/instance_lock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace fw {

int HoldInstanceName(const std::string& name, uint32_t& lastError) {
    lastError = 0;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Abstract names start with a NUL byte; longer names are cut to fit.
    const size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);

    const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        lastError = static_cast<uint32_t>(errno);
        return -1;
    }
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        lastError = errno == EADDRINUSE ? kErrorAlreadyExists : static_cast<uint32_t>(errno);
        ::close(handle);
        return -1;
    }
    return handle;
}

void ReleaseInstanceName(int handle) {
    if (handle >= 0) ::close(handle);
}

}  // namespace fw
