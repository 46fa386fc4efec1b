#include "sources.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

#include "stations/sun.hpp"

namespace hfd::plot {
namespace {

using results::Kind;
using results::ReadError;

StationFiles& StationOf(Sources& s, const std::string& code) {
  for (StationFiles& st : s.stations)
    if (st.code == code) return st;
  s.stations.push_back({code, {}, {}});
  return s.stations.back();
}

// One data length for all files: the first one known.
struct LengthCheck {
  int32_t n = 0;
  std::string from;
  void Add(int32_t len, const std::string& path) {
    if (len == 0) return;
    if (n == 0) {
      n = len, from = path;
    } else if (len != n) {
      throw ReadError(path, 0, "data length " + std::to_string(len) + " differs from " + std::to_string(n) +
                                   " of " + from);
    }
  }
};

// Time order; the blocks of one file must all lie before the next file's.
void Order(std::vector<SourceFile>& files) {
  std::stable_sort(files.begin(), files.end(),
                   [](const SourceFile& a, const SourceFile& b) { return a.first_ms < b.first_ms; });
  for (size_t i = 1; i < files.size(); ++i) {
    if (files[i].first_ms <= files[i - 1].last_ms)
      throw ReadError(files[i].path, 0, "blocks overlap in time with those of " + files[i - 1].path);
  }
}

// Folds blocks of a spectrum file.
class SpectrumFolder : public results::SpectrumVisitor {
 public:
  explicit SpectrumFolder(SpectrumFold& fold) : fold_(fold) {}
  void Start(int32_t, const std::vector<float>& freq) override { bins_ = freq.size(); }
  void Block(int32_t, int64_t utc_ms, const float* values) override { fold_.Add(utc_ms, values, bins_); }

 private:
  SpectrumFold& fold_;
  size_t bins_ = 0;
};

}  // namespace

void Incomplete(const Note& note, const std::string& file, long lines) {
  if (lines > 0)
    note(file + ": incomplete end (an interrupted run?): " + std::to_string(lines) + " line" +
         (lines == 1 ? "" : "s") + " left out");
}

Sources Survey(const std::vector<std::string>& files, const Note& note) {
  Sources s;
  bool peaks_given = false;
  for (const std::string& f : files) {
    const Kind k = results::KindOfPath(f);
    StationFiles& st = StationOf(s, results::StationCodeOfPath(f));
    (k == Kind::kSpectrum ? st.spectra : st.peaks).push_back({f, k});
    peaks_given |= k != Kind::kSpectrum;
  }
  // A .spc file's peak summary file beside it gives the traces and S4Indx.
  if (!peaks_given) {
    for (StationFiles& st : s.stations) {
      for (const SourceFile& f : st.spectra) {
        const std::string m = PeakBeside(f.path);
        if (::access(m.c_str(), F_OK) == 0 || errno != ENOENT) st.peaks.push_back({m, Kind::kPeak, 0, 0, true});
      }
    }
  }

  // The times of a file with nothing to draw of it, which is then left out.
  constexpr int64_t kUnused = std::numeric_limits<int64_t>::max();
  LengthCheck length;
  int64_t first = std::numeric_limits<int64_t>::max(), last = std::numeric_limits<int64_t>::min();
  for (StationFiles& st : s.stations) {
    for (SourceFile& f : st.spectra) {
      results::SpectrumExtent e;
      const bool any = results::SpectrumFileExtent(f.path, e);
      Incomplete(note, f.path, e.dropped_lines);
      if (!any) {  // no whole block: nothing to draw of it
        f.first_ms = f.last_ms = kUnused;
        continue;
      }
      length.Add(e.data_length, f.path);
      f.first_ms = e.first_ms, f.last_ms = e.last_ms;
    }
    for (SourceFile& f : st.peaks) {
      results::PeakSeries p;
      try {
        p = results::ReadPeakFile(f.path);
        if (f.beside && p.data_length != 0 && length.n != 0 && p.data_length != length.n)
          throw ReadError(f.path, 0, "data length " + std::to_string(p.data_length) + ", not the " +
                                         std::to_string(length.n) + " of " + length.from);
      } catch (const ReadError& e) {
        if (!f.beside) throw;
        note(std::string(e.what()) + ": no peak trace or S4Indx from it");  // a run still writing it?
        f.first_ms = f.last_ms = kUnused;
        continue;
      }
      Incomplete(note, f.path, p.dropped_lines);
      length.Add(p.data_length, f.path);
      if (p.blocks.empty()) {
        f.first_ms = f.last_ms = kUnused;
        continue;
      }
      f.first_ms = p.blocks.front().utc_ms, f.last_ms = p.blocks.back().utc_ms;
    }
    const auto unused = [](const SourceFile& f) { return f.first_ms == kUnused; };
    std::erase_if(st.spectra, unused);
    std::erase_if(st.peaks, unused);
    Order(st.spectra);
    Order(st.peaks);
    // The span: of the spectra when there are any, else of the peaks.
    for (const SourceFile& f : st.spectra.empty() ? st.peaks : st.spectra) {
      first = std::min(first, f.first_ms), last = std::max(last, f.last_ms);
    }
  }
  s.input.data_length = length.n;
  const int64_t block_ms = BlockMsOf(length.n);
  s.input.first_ms = first;
  s.input.last_ms = last == std::numeric_limits<int64_t>::min() ? first : last + block_ms;
  for (const StationFiles& st : s.stations) {
    StationPlan p;
    p.code = p.name = st.code;
    p.spectrum = !st.spectra.empty();
    p.peaks = !st.peaks.empty();
    p.scint = std::any_of(st.peaks.begin(), st.peaks.end(), [](const SourceFile& f) { return f.kind == Kind::kPeak; });
    if (p.spectrum || p.peaks) s.input.stations.push_back(p);
  }
  std::erase_if(s.stations, [](const StationFiles& st) { return st.spectra.empty() && st.peaks.empty(); });
  return s;
}

void FoldAll(const Sources& src, const Figure& fig, std::vector<StationFolds>& folds) {
  // Blocks from one block before the span (the one under way at its start)
  // to its end.
  const int64_t from = fig.axis.t0_ms, to = fig.axis.t1_ms;
  for (size_t i = 0; i < src.stations.size(); ++i) {
    const StationFiles& st = src.stations[i];
    StationFolds& d = folds[i];
    for (const SourceFile& f : st.spectra) {
      if (f.last_ms + fig.block_ms <= from || f.first_ms >= to) continue;
      SpectrumFolder folder(*d.spectrum);
      results::ScanSpectrumFile(f.path, from, to, folder);
    }
    for (const SourceFile& f : st.peaks) {
      if (f.last_ms + fig.block_ms <= from || f.first_ms >= to) continue;
      const results::PeakSeries p = results::ReadPeakFile(f.path);
      for (const results::PeakBlock& b : p.blocks) d.peaks->Add(b);
    }
  }
}

void Describe(PlotInput& in, const stations::Registry& reg, const PlotOptions& opt, const Note& note) {
  for (StationPlan& st : in.stations) {
    const stations::Station* known = st.code.empty() ? nullptr : reg.Find(st.code);
    if (known) {
      st.name = known->name;
      st.zero_hz = known->zero_doppler_hz;
    }
    if (opt.zero_hz) st.zero_hz = {opt.zero_hz, opt.zero_hz};
    if (known && opt.sun) {
      // Over spans longer than kSunDays the lines would cover the picture.
      const int64_t t0 = opt.from_ms.value_or(in.first_ms), t1 = opt.to_ms.value_or(in.last_ms);
      if (t1 > t0 && t1 - t0 <= kSunDays * kDayMs) {
        static constexpr double kHeights[] = {0.0, 100.0, 300.0};
        for (const stations::SunEvent& e : stations::SunEvents(stations::ReflectionPoint(*known), kHeights, t0, t1))
          st.sun.push_back({e.utc_ms, e.rise, static_cast<int>(std::lround(e.height_km))});
      }
    }
    if (known) continue;
    std::string left = opt.sun ? "the Sun" : "";
    if (!opt.zero_hz) left += std::string(left.empty() ? "" : " and ") + "the Doppler shift axis";
    note("station " + (st.code.empty() ? std::string("(no code in the file names)") : st.code) +
         " is not in the registry " + reg.path() + (left.empty() ? "" : ": drawn without " + left));
  }
}

Picture Prepare(const std::vector<std::string>& files, const PlotOptions& opt, const stations::Registry& reg,
                const Note& note) {
  Picture p;
  p.src = Survey(files, note);
  Describe(p.src.input, reg, opt, note);
  p.fig = Plan(p.src.input, opt);
  p.folds = MakeFolds(p.fig, p.src.input, opt);
  FoldAll(p.src, p.fig, p.folds);
  FinishPlan(p.fig, p.folds, opt);
  return p;
}

}  // namespace hfd::plot
