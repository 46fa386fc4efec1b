#include "textio/console.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hfd {

Console::Console(int inFd, int outFd, bool shared)
    : in_(inFd), out_(outFd), shared_(shared), outIsTty_(::isatty(outFd) == 1) {}

bool Console::DetectShared(int inFd, int outFd) {
  return ::isatty(inFd) == 1 && ::isatty(outFd) == 1;
}

void Console::Raw(const char* p, size_t n) {
  while (n > 0) {
    if (outUsed_ == kOutSize) Flush();
    size_t take = kOutSize - outUsed_ < n ? kOutSize - outUsed_ : n;
    std::memcpy(outBuf_ + outUsed_, p, take);
    outUsed_ += take;
    p += take;
    n -= take;
  }
}

void Console::PutRecord(std::string_view record, bool advance) {
  if (record.empty()) record = " ";  // an empty record counts as one blank
  if (promptOpen_) {
    Raw(record.data(), record.size());
    promptOpen_ = false;
  } else {
    switch (record[0]) {
      case '0':
        if (linePending_) Raw("\r\n", 2);
        Raw("\r\n", 2);
        break;
      case '1':
        Raw("\r\n\f\r \r", 6);
        break;
      case '+':
        Raw("\r", 1);
        break;
      default:
        if (linePending_) Raw("\r\n", 2);
        break;
    }
    Raw(record.data() + 1, record.size() - 1);
  }
  linePending_ = true;
  if (!advance) promptOpen_ = true;
  if (outIsTty_) Flush();
}

bool Console::WaitReady(int fd, short events) {
  pollfd p{fd, events, 0};
  // A stop that lands just before the wait began is seen within a second.
  for (int n; (n = ::poll(&p, 1, 1000)) <= 0;) {
    if (n < 0 && errno != EINTR) return true;  // the read or write says what is wrong
    if (Stopping()) return false;
  }
  return true;
}

bool Console::Flush() {
  size_t done = 0;
  while (done < outUsed_ && !ended_) {
    ssize_t n = ::write(out_, outBuf_ + done, outUsed_ - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      // A write cut short by a signal: a stop ends it here.
      if (done < outUsed_ && Stopping()) ended_ = true;
      continue;
    }
    if (n < 0 && errno == EINTR) {
      if (Stopping()) ended_ = true;
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitReady(out_, POLLOUT)) ended_ = true;
      continue;
    }
    if (writeError_ == 0) writeError_ = n < 0 ? errno : EIO;
    break;
  }
  outUsed_ = 0;
  return writeError_ == 0;
}

bool Console::Finish() {
  if (linePending_) Raw("\r\n", 2);
  linePending_ = promptOpen_ = false;
  return Flush();
}

ReadError Console::ReadLine(std::string_view& line) {
  // A stop takes effect before any answer, even one already typed ahead.
  if (Stopping()) return ReadError::Interrupted;
  if (shared_) {
    if (linePending_ && !promptOpen_) {
      Raw("\r\n", 2);
      linePending_ = false;
    }
    promptOpen_ = false;
  }
  Flush();
  if (Stopping()) return ReadError::Interrupted;
  size_t len = 0;
  bool got = false;  // any character (or a line end) seen
  for (;;) {
    if (inStart_ == inEnd_) {
      if (inEof_) break;
      if (stop_ && *stop_) return ReadError::Interrupted;
      ssize_t n = ::read(in_, inBuf_, kInSize);
      if (n < 0) {
        if (errno == EINTR) continue;  // the stop flag is checked above
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          if (!WaitReady(in_, POLLIN)) return ReadError::Interrupted;
          continue;
        }
        return ReadError::DeviceFailure;
      }
      if (n == 0) {
        inEof_ = true;
        break;
      }
      inStart_ = 0;
      inEnd_ = static_cast<size_t>(n);
    }
    char c = inBuf_[inStart_++];
    got = true;
    if (c == '\n') {
      if (shared_) linePending_ = false;
      while (len > 0 && line_[len - 1] == '\r') --len;
      if (len > 0 && line_[len - 1] == '\x1a') return ReadError::EndOfInput;
      line = {line_, len};
      return ReadError::None;
    }
    if (len < kInSize) line_[len++] = c;  // an over-long answer keeps its start
  }
  // End of input: a last line without its line end still counts as a line.
  if (!got) return ReadError::EndOfInput;
  if (shared_) linePending_ = false;
  while (len > 0 && line_[len - 1] == '\r') --len;
  if (len > 0 && line_[len - 1] == '\x1a') return ReadError::EndOfInput;
  line = {line_, len};
  return ReadError::None;
}

}  // namespace hfd
