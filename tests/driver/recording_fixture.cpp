#include "driver/recording_fixture.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace hfd::test {

namespace fs = std::filesystem;

SampleFn RecordNumberTimes(int perRecord) {
  return [perRecord](int record, int) { return static_cast<int16_t>(perRecord * record); };
}

SampleFn Const(int16_t value) {
  return [value](int, int) { return value; };
}

void DriverTest::WriteChannel(std::string_view name, int records, const SampleFn& sample,
                              int extraBytes) const {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(records) * 256 + static_cast<size_t>(extraBytes));
  for (int r = 1; r <= records; ++r) {
    for (int j = 0; j < 128; ++j) {
      const auto u = static_cast<uint16_t>(sample(r, j));
      bytes.push_back(static_cast<char>(u & 0xff));  // least significant byte first
      bytes.push_back(static_cast<char>(u >> 8));
    }
  }
  bytes.append(static_cast<size_t>(extraBytes), '\x11');
  WriteText(name, bytes);
}

void DriverTest::WriteRecording(std::string_view channel0Name, int records, const SampleFn& ch1,
                                const SampleFn& ch2) const {
  std::string name1(channel0Name);
  name1[18] = '1';
  WriteChannel(channel0Name, records, ch1);
  WriteChannel(name1, records, ch2);
}

void DriverTest::WriteText(std::string_view name, std::string_view content) const {
  std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  ASSERT_TRUE(out.good()) << name;
}

bool DriverTest::Exists(std::string_view name) const { return fs::exists(Path(name)); }

std::string DriverTest::ReadFile(std::string_view name) const {
  std::ifstream in(Path(name), std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing " << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> DriverTest::Entries() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last record has no CR LF: [" << text.substr(start) << "]";
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const size_t a = text.find(from);
  if (a == std::string::npos) return "";
  const size_t b = text.find(to, a + from.size());
  if (b == std::string::npos) return "";
  return text.substr(a + from.size(), b - a - from.size());
}

std::string OptionsTranscript(int IOutFMT) {
  // Redirected console: output keeps its own line state and a read changes
  // nothing in it. The first prompt's record " *** Output Files ...: " is the
  // first record (no line pending), so its carriage-control blank writes no
  // advance and is not shown. The data-length prompt follows an open prompt,
  // so it is written whole, blank included, on the same line; so is the
  // list-directed echo after it: a leading blank, "IBlockLength=", 256 in 11
  // columns, "  IOutFMT=", the mode in 11 columns. The time-window prompt
  // follows a closed, pending line: CR LF, then the text without its blank.
  return std::string("*** Output Files (1:qdr only, 2:spc&max): ") +
         " *** data length (512, 1024, 2048 or 4096): " +
         " IBlockLength=        256  IOutFMT=          " + std::to_string(IOutFMT) +
         "\r\n*** specify the time window (0:no  1:yes): ";
}

}  // namespace hfd::test
