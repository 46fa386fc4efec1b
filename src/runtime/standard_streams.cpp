#include "runtime/standard_streams.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace hfd {

void ReserveStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is fd itself.
    const int taken = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (taken >= 0 && taken != fd) ::close(taken);
  }
}

}  // namespace hfd
