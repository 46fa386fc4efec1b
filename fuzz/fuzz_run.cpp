// Fuzzes a whole run: a recording whose channel files hold arbitrary bytes of
// arbitrary length, analysed in both output modes and every data length.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/batch.hpp"

namespace {

void WriteFile(const char* name, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(name, "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/hfd_fuzz_run_XXXXXX";
  if (!mkdtemp(tmpl) || chdir(tmpl) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int mode = 1 + (data[0] & 1);
  static const int kLengths[] = {512, 1024, 2048, 4096};
  const int n = kLengths[(data[0] >> 1) & 3];
  const bool second = (data[0] & 8) != 0;
  const size_t half = (size - 1) / 2;
  WriteFile("20080501235500SGD-0.BIN", data + 1, second ? half : size - 1);
  if (second)
    WriteFile("20080501235500SGD-1.BIN", data + 1 + half, size - 1 - half);
  else
    unlink("20080501235500SGD-1.BIN");

  std::string answers = std::to_string(mode) + "\n" + std::to_string(n) + "\n0\n500\n";
  int in[2];
  if (pipe(in) != 0) std::abort();
  if (write(in[1], answers.data(), answers.size()) != static_cast<ssize_t>(answers.size()))
    std::abort();
  close(in[1]);
  int devnull = open("/dev/null", O_WRONLY);
  {
    hfd::RunIo io(in[0], devnull, 2);
    if (hfd::RunBatch(io, hfd::AnalysisPath::Fast) != 0) std::abort();
  }
  close(devnull);
  close(in[0]);
  return 0;
}
