#include "input/channel_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace hfd {

bool ChannelFile::Open(const char* name) {
  Close();
  // O_NONBLOCK keeps a FIFO named like a channel file from blocking the open.
  int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

// Reads the window from record `first` on: as many whole records as the
// file holds, up to the window's size. False on a read error before any
// whole record was read.
bool ChannelFile::Fill(int64_t first) {
  windowFirst_ = first;
  windowCount_ = 0;
  const size_t want = sizeof window_;
  const off_t offset = static_cast<off_t>(first - 1) * kRecordBytes;
  size_t got = 0;
  while (got < want) {
    ssize_t n = ::pread(fd_, window_ + got, want - got, offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;  // a regular file: the read ends soon
    if (n <= 0) break;  // end of the file, or an error: the records before it count
    got += static_cast<size_t>(n);
  }
  windowCount_ = static_cast<int64_t>(got / kRecordBytes);
  return windowCount_ > 0;
}

bool ChannelFile::ReadRecords(int64_t first, int count, int16_t* samples) {
  if (fd_ < 0 || first < 1 || count < 1 || count > kWindowRecords) return false;
  const int64_t last = first + count - 1;
  const bool held = windowFirst_ > 0 && first >= windowFirst_ &&
                    last < windowFirst_ + windowCount_;
  if (!held && (!Fill(first) || count > windowCount_)) return false;  // a record is missing
  const unsigned char* bytes = window_ + (first - windowFirst_) * kRecordBytes;
  const size_t n = static_cast<size_t>(count) * kRecordSamples;
  // Samples are stored least significant byte first.
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(samples, bytes, n * 2);
  } else {
    for (size_t i = 0; i < n; ++i)
      samples[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  }
  return true;
}

void ChannelFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  windowFirst_ = windowCount_ = 0;
}

}  // namespace hfd
