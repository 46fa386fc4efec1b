"""hfdoppler-export's files loaded by the clients users load them with.

Recordings from hfdoppler-synth (JST 23:50 to 00:10 across midnight in two
files, and 08:55 to 09:05, which crosses midnight UTC) are analysed by
hfdoppler in both output modes; the exports are read with pandas and xarray
and compared with the result files, parsed here on their own.

usage: roundtrip.py HFDOPPLER-SYNTH HFDOPPLER HFDOPPLER-EXPORT
Exit status 77 (skipped) when this Python lacks pandas, xarray or netCDF4.
"""
import datetime as dt
import os
import subprocess
import sys
import tempfile
import unittest

try:
    import numpy as np
    import pandas as pd
    import xarray as xr
    import netCDF4  # noqa: F401  (xarray's netCDF-4 engine)
except ImportError as e:
    print(f"skipped: {sys.executable} lacks {e.name}")
    sys.exit(77)

SYNTH, ANALYSER, EXPORT = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)
STARTS = ["20080501235000", "20080502000000", "20080502085500"]
JST = dt.timedelta(hours=9)


def jst_stamp(y, mo, d, h, mi, s):
    """A block stamp as the files give it: the day advanced after midnight,
    the hour counted from 00:00 of the start day."""
    return dt.datetime(y, mo, 1) + dt.timedelta(days=d - 1 - h // 24, hours=h, minutes=mi, seconds=s)


def fnum(text):
    return float("nan") if "*" in text else float(text)


def read_max(path):
    rows = []
    with open(path, newline="") as f:
        lines = f.read().split("\r\n")
    for line in lines[1:]:
        if not line:
            continue
        cols = line.rstrip("\t").split("\t")
        k, y, mo, d, h, mi, s, _ = (int(c) for c in cols[:8])
        vals = []
        for c in (0, 1):
            mean, scint, freq = cols[8 + 3 * c].split(",")
            vals += [fnum(mean), fnum(scint), fnum(freq), fnum(cols[9 + 3 * c]), fnum(cols[10 + 3 * c])]
        rows.append((jst_stamp(y, mo, d, h, mi, s) - JST, k, vals))
    return rows


def read_qdr(path):
    with open(path, newline="") as f:
        lines = f.read().split("\r\n")
    head = lines[0]
    y, mo, d, h0 = int(head[10:18]), int(head[19:21]), int(head[22:24]), int(head[24:27])
    rows = []
    for line in lines[4:]:
        if not line:
            continue
        h, mi, sec, f1, a1, f2, a2 = line.split("\t")
        t = jst_stamp(y, mo, d - int(h0) // 24 + int(h) // 24, int(h), int(mi), 0)
        t += dt.timedelta(milliseconds=round(float(sec) * 1000))
        rows.append((t - JST, [fnum(f1), fnum(a1), fnum(f2), fnum(a2)]))
    return rows


def read_spc(path):
    blocks = []
    with open(path, newline="") as f:
        for line in f.read().split("\r\n"):
            cols = line.split("\t")
            if len(cols) == 8:
                k, y, mo, d, h, mi, s, _ = (int(c) for c in cols)
                blocks.append((jst_stamp(y, mo, d, h, mi, s) - JST, k, []))
            elif len(cols) == 5:
                blocks[-1][2].append([fnum(c) for c in cols])
    # A read failure leaves a last block line without bins.
    return [b for b in blocks if len(b[2]) == 123]


def run(args, cwd=None, stdin=None):
    return subprocess.run(args, cwd=cwd, input=stdin, capture_output=True, text=True, check=True)


class Exports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="hfd-export-")
        cls.dir = cls.tmp.name
        for mode in ("1", "2"):
            work = os.path.join(cls.dir, "mode" + mode)
            for start in STARTS:
                run([SYNTH, "--start", start, "--seconds", "600", "--dir", work, "--seed", "3"])
            run([ANALYSER], cwd=work, stdin=f"{mode}\n1024\n0\n500\n")
        cls.max = sorted(os.path.join(cls.dir, "mode2", s[:12] + "SGD.max") for s in STARTS)
        cls.spc = [m[:-4] + ".spc" for m in cls.max]
        cls.qdr = sorted(os.path.join(cls.dir, "mode1", s[:12] + "SGD.qdr") for s in STARTS)
        # The same recordings in both modes: the same blocks. The .qdr shows
        # their exact starts; the .max and .spc stamps only whole seconds.
        cls.exact = [[r[0] for r in read_qdr(q)] for q in cls.qdr]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def export(self, files, out, *opts):
        path = os.path.join(self.dir, out)
        run([EXPORT, *files, *opts, "-o", path])
        return path

    def check_times(self, df, expected_utc):
        self.assertEqual(str(df.time_utc.dtype), "datetime64[ns, UTC]")
        want = pd.DatetimeIndex(expected_utc).tz_localize("UTC")
        np.testing.assert_array_equal(df.time_utc.values, want.values)
        jst = pd.to_datetime(df.time_jst)  # one fixed offset: +09:00
        self.assertTrue(all(t.utcoffset() == JST for t in jst))
        np.testing.assert_array_equal(jst.dt.tz_convert("UTC").values, want.values)
        wall = jst.dt.tz_localize(None) - pd.Timedelta(hours=9)
        np.testing.assert_array_equal(wall.values, df.time_utc.dt.tz_localize(None).values)

    def test_peak_csv_across_midnights_and_files(self):
        # Files given out of order; the rows come in time order.
        out = self.export(self.max[::-1], "max.csv")
        df = pd.read_csv(out, parse_dates=["time_utc"])
        rows = [r for m in self.max for r in read_max(m)]
        self.assertEqual(len(df), len(rows))
        self.assertEqual(list(df.columns[:3]), ["time_utc", "time_jst", "step"])
        self.assertEqual(len(set(df.columns)), len(df.columns))
        for col in df.columns[2:]:
            self.assertTrue(pd.api.types.is_numeric_dtype(df[col]), col)
        exact = [t for f in self.exact for t in f]
        self.check_times(df, exact)
        stamps = np.array([r[0] for r in rows], dtype="datetime64[ns]")
        late = df.time_utc.dt.tz_localize(None).values - stamps
        self.assertTrue(((late >= np.timedelta64(0)) & (late < np.timedelta64(1, "s"))).all())
        self.assertTrue((late > np.timedelta64(0)).any())
        first = df.time_utc[: len(self.exact[0])]
        self.assertEqual(set(first.diff()[1:]), {pd.Timedelta(milliseconds=10240)})
        # JST midnight (15:00 UTC) between the first two files, UTC midnight
        # inside the third.
        utc = df.time_utc.dt.tz_localize(None)
        self.assertTrue(((utc < "2008-05-01T15:00") & (utc > "2008-05-01T14:59")).any())
        self.assertTrue(((utc >= "2008-05-01T15:00") & (utc < "2008-05-01T15:01")).any())
        self.assertTrue((utc.dt.date == dt.date(2008, 5, 1)).any() and (utc.dt.date == dt.date(2008, 5, 2)).any())
        np.testing.assert_array_equal(df.step.values, [r[1] for r in rows])
        names = [f"{v}_{c}{u}" for c in (5006, 8006) for v, u in
                 (("mean", ""), ("scint", ""), ("freq", "_hz"), ("level", "_dbuv"), ("phase", "_deg"))]
        self.assertEqual(list(df.columns[3:]), names)
        np.testing.assert_array_equal(df[names].values, np.array([r[2] for r in rows]))

    def test_amplitude_csv_milliseconds(self):
        df = pd.read_csv(self.export(self.qdr, "qdr.csv"), parse_dates=["time_utc"])
        rows = [r for q in self.qdr for r in read_qdr(q)]
        self.assertEqual(list(df.columns),
                         ["time_utc", "time_jst", "freq_5006_hz", "level_5006_dbuv", "freq_8006_hz", "level_8006_dbuv"])
        self.check_times(df, [r[0] for r in rows])
        self.assertEqual(df.time_utc[1] - df.time_utc[0], pd.Timedelta(milliseconds=10240))
        np.testing.assert_array_equal(df.iloc[:, 2:].values, np.array([r[1] for r in rows]))

    def test_from_to_cut_a_utc_span(self):
        df = pd.read_csv(self.export(self.max, "cut.csv", "--from", "2008-05-02T00:00:00+09:00",
                                     "--to", "2008-05-01T15:05Z"), parse_dates=["time_utc"])
        self.assertGreater(len(df), 0)
        self.assertEqual(df.time_utc.min(), pd.Timestamp("2008-05-01T15:00Z"))
        self.assertLess(df.time_utc.max(), pd.Timestamp("2008-05-01T15:05Z"))

    def test_spectrum_netcdf(self):
        out = self.export(self.spc, "spc.nc")
        blocks = [b for s in self.spc for b in read_spc(s)]
        with xr.open_dataset(out) as ds:
            self.assertEqual(dict(ds.sizes), {"time": len(blocks), "frequency": 123})
            for name in ("level_5006", "phase_5006", "level_8006", "phase_8006"):
                self.assertEqual(ds[name].dims, ("time", "frequency"))
                self.assertEqual(ds[name].dtype, np.float32)
            self.assertEqual(ds.level_5006.attrs["units"], "dBuV")
            self.assertEqual(ds.phase_8006.attrs["units"], "degrees")
            self.assertEqual(ds.frequency.attrs["units"], "Hz")
            self.assertEqual(ds.attrs["data_length"], 1024)
            self.assertEqual(ds.attrs["station_code"], "SGD")
            self.assertEqual(ds.attrs["source"], ", ".join(os.path.basename(s) for s in self.spc))
            self.assertEqual(list(ds.attrs["carrier_frequencies_khz"]), [5006, 8006])
            self.assertEqual(ds.time.dtype, np.dtype("datetime64[ns]"))
            exact = np.array([t for f in self.exact for t in f], dtype="datetime64[ns]")
            np.testing.assert_array_equal(ds.time.values, exact)
            np.testing.assert_array_equal(ds.step.values, [b[1] for b in blocks])
            first = np.array(blocks[0][2], dtype=np.float32)
            np.testing.assert_array_equal(ds.frequency.values, first[:, 0])
            for t in (0, len(blocks) // 2, len(blocks) - 1):
                bins = np.array(blocks[t][2], dtype=np.float32)
                for col, name in enumerate(("level_5006", "phase_5006", "level_8006", "phase_8006")):
                    np.testing.assert_array_equal(ds[name].values[t], bins[:, col + 1], err_msg=f"{name} {t}")
        header = run(["ncdump", "-h", out]).stdout
        for attr in ('Conventions = "CF-1.8"', 'time:units = "milliseconds since 1970-01-01 00:00:00 UTC"',
                     'time:standard_name = "time"', 'time:calendar = "standard"',
                     'level_5006:units = "dBuV"', 'phase_5006:units = "degrees"'):
            self.assertIn(attr, header)

    def test_peak_netcdf(self):
        rows = [r for m in self.max for r in read_max(m)]
        with xr.open_dataset(self.export(self.max, "max.nc")) as ds:
            self.assertEqual(dict(ds.sizes), {"time": len(rows)})
            np.testing.assert_array_equal(ds.time.values, np.array([t for f in self.exact for t in f],
                                                                   dtype="datetime64[ns]"))
            self.assertEqual(ds.freq_8006.dtype, np.float64)
            np.testing.assert_array_equal(ds.freq_8006.values, [r[2][7] for r in rows])
            np.testing.assert_array_equal(ds.scint_5006.values, [r[2][1] for r in rows])
        rows = [r for q in self.qdr for r in read_qdr(q)]
        with xr.open_dataset(self.export(self.qdr, "qdr.nc")) as ds:
            self.assertEqual(sorted(ds.data_vars), ["freq_5006", "freq_8006", "level_5006", "level_8006"])
            self.assertEqual(ds.attrs["station_name"], "Sugadaira")
            np.testing.assert_array_equal(ds.time.values, np.array([r[0] for r in rows], dtype="datetime64[ns]"))
            np.testing.assert_array_equal(ds.level_8006.values, [r[1][3] for r in rows])

    def test_spectrum_csv_long(self):
        df = pd.read_csv(self.export(self.spc[:1], "spc.csv"), parse_dates=["time_utc"])
        blocks = read_spc(self.spc[0])
        self.assertEqual(len(df), len(blocks) * 123)
        self.assertEqual(list(df.columns), ["time_utc", "time_jst", "step", "frequency_hz", "level_5006_dbuv",
                                            "phase_5006_deg", "level_8006_dbuv", "phase_8006_deg"])
        self.check_times(df, [t for t in self.exact[0] for _ in range(123)])
        np.testing.assert_array_equal(df.iloc[:, 3:].values, np.array([r for b in blocks for r in b[2]]))


if __name__ == "__main__":
    if SYNTH is None:
        sys.exit(__doc__)
    unittest.main(argv=sys.argv[:1], verbosity=2)
