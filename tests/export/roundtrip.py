"""hfdoppler-export's files loaded by the clients users load them with.

Recordings from hfdoppler-synth (JST 23:50 to 00:10 across midnight in two
files, and 08:55 to 09:05, which crosses midnight UTC; a second station from
08:55:30) are analysed by hfdoppler in both output modes; the exports are read
with pandas, xarray and netCDF4 and compared with the result files, parsed
here on their own. udunits2 (Debian udunits-bin) reads every units attribute.

usage: roundtrip.py HFDOPPLER-SYNTH HFDOPPLER HFDOPPLER-EXPORT
Exit status 77 (skipped) when this Python lacks pandas, xarray or netCDF4.
"""
import datetime as dt
import gzip
import os
import re
import subprocess
import sys
import tempfile
import unittest

try:
    import numpy as np
    import pandas as pd
    import xarray as xr
    import netCDF4
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


def run(args, cwd=None, stdin=None, env=None):
    return subprocess.run(args, cwd=cwd, input=stdin, capture_output=True, text=True, check=True, env=env)


def digits(text):
    """A fixed-point field of the result file as the whole number of its last
    decimal: " -23.47" -> -2347, "  .000" -> 0."""
    return int(text.strip().replace(".", "") or "0")


def put_stars(path, line_no, field):
    """Overwrite one tab-separated field of a result file line with asterisks,
    as the analyser writes a value too wide for its field."""
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    cols = lines[line_no].split(b"\t")
    cols[field] = b"*" * len(cols[field])
    lines[line_no] = b"\t".join(cols)
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines))


class Exports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="hfd-export-")
        cls.dir = cls.tmp.name
        for mode in ("1", "2"):
            work = os.path.join(cls.dir, "mode" + mode)
            for start in STARTS:
                run([SYNTH, "--start", start, "--seconds", "600", "--dir", work, "--seed", "3"])
            run([SYNTH, "--start", "20080502085530", "--station", "KUR", "--seconds", "300", "--dir", work])
            run([ANALYSER], cwd=work, stdin=f"{mode}\n1024\n0\n500\n")
        cls.max = sorted(os.path.join(cls.dir, "mode2", s[:12] + "SGD.max") for s in STARTS)
        cls.spc = [m[:-4] + ".spc" for m in cls.max]
        cls.qdr = sorted(os.path.join(cls.dir, "mode1", s[:12] + "SGD.qdr") for s in STARTS)
        # The same recordings in both modes: the same blocks. The .qdr shows
        # their exact starts; the .max and .spc stamps only whole seconds.
        cls.exact = [[r[0] for r in read_qdr(q)] for q in cls.qdr]
        # The station registry: SGD with its transmitter and zero-shift
        # frequencies; KUR is not in it.
        cls.registry = os.path.join(cls.dir, "stations.toml")
        with open(cls.registry, "w") as f:
            f.write('[SGD]\nname = "Sugadaira"\nlatitude = 36.52\nlongitude = 138.35\nzero_doppler_hz = [8.0, 7.5]\n'
                    '[SGD.transmitter]\nname = "Tx"\nlatitude = 35.7\nlongitude = 139.5\n')
        cls.kur = os.path.join(cls.dir, "mode2", "200805020855KUR.max")
        cls.kur_exact = [r[0] for r in read_qdr(os.path.join(cls.dir, "mode1", "200805020855KUR.qdr"))]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def export(self, files, out, *opts, env=None):
        path = os.path.join(self.dir, out)
        env = dict(env or os.environ, HFDOPPLER_STATIONS=self.registry)
        self.stderr = run([EXPORT, *files, *opts, "-o", path], env=env).stderr
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
        out = self.export(self.spc, "spc.nc", env=dict(os.environ, SOURCE_DATE_EPOCH="1234567890"))
        blocks = [b for s in self.spc for b in read_spc(s)]
        with xr.open_dataset(out) as ds:
            self.assertEqual(dict(ds.sizes), {"time": len(blocks), "frequency": 123, "nv": 2, "channel": 2})
            for name in ("level_5006", "phase_5006", "level_8006", "phase_8006"):
                self.assertEqual(ds[name].dims, ("time", "frequency"))
                self.assertEqual(ds[name].dtype, np.float32)
            self.assertIn("dBuV", ds.level_5006.attrs["long_name"])
            self.assertEqual(ds.attrs["data_length"], 1024)
            self.assertEqual(ds.attrs["station_code"], "SGD")
            self.assertEqual(ds.attrs["input_files"], ", ".join(os.path.basename(s) for s in self.spc))
            self.assertRegex(ds.attrs["source"], r"^hfdoppler-export \d")
            self.assertTrue(ds.attrs["history"].startswith("2009-02-13T23:31:30Z: "), ds.attrs["history"])
            self.assertIn(" -o " + out, ds.attrs["history"])
            self.assertIn("formats.md", ds.attrs["references"])
            self.assertEqual(ds.time.dtype, np.dtype("datetime64[ns]"))
            exact = np.array([t for f in self.exact for t in f], dtype="datetime64[ns]")
            np.testing.assert_array_equal(ds.time.values, exact)
            np.testing.assert_array_equal(ds.time_bnds.values[:, 0], exact)
            np.testing.assert_array_equal(ds.time_bnds.values[:, 1], exact + np.timedelta64(10240, "ms"))
            np.testing.assert_array_equal(ds.step.values, [b[1] for b in blocks])
            np.testing.assert_array_equal(ds.frequency.values, np.arange(123) * 0.09765625)
            for name in ("time", "frequency", "latitude", "longitude", "doppler_shift_5006"):
                self.assertTrue({"long_name", "units"} <= set(ds[name].attrs) | set(ds[name].encoding), name)
            self.assertEqual((float(ds.latitude), float(ds.longitude)), (36.52, 138.35))
            self.assertEqual((ds.latitude.attrs["axis"], ds.time.attrs["axis"]), ("Y", "T"))
            self.assertEqual(str(ds.transmitter_name.values), "Tx")
            self.assertEqual(ds.attrs["station_name"], "Sugadaira")
            np.testing.assert_array_equal(ds.doppler_shift_5006.values, ds.frequency.values - 8.0)
            np.testing.assert_array_equal(ds.doppler_shift_8006.values, ds.frequency.values - 7.5)
            for t in (0, len(blocks) // 2, len(blocks) - 1):
                bins = np.array(blocks[t][2], dtype=np.float32)
                for col, name in enumerate(("level_5006", "phase_5006", "level_8006", "phase_8006")):
                    np.testing.assert_array_equal(ds[name].values[t], bins[:, col + 1], err_msg=f"{name} {t}")
        header = run(["ncdump", "-h", out]).stdout
        for attr in ('Conventions = "CF-1.10"', 'time:units = "milliseconds since 1970-01-01 00:00:00 UTC"',
                     'time:standard_name = "time"', 'time:calendar = "standard"', 'time:axis = "T"',
                     'time:bounds = "time_bnds"', 'level_5006:_FillValue', 'phase_8006:_FillValue'):
            self.assertIn(attr, header)

    def test_peak_netcdf(self):
        rows = [r for m in self.max for r in read_max(m)]
        with xr.open_dataset(self.export(self.max, "max.nc")) as ds:
            self.assertEqual(dict(ds.sizes), {"time": len(rows), "nv": 2, "channel": 2})
            np.testing.assert_array_equal(ds.time.values, np.array([t for f in self.exact for t in f],
                                                                   dtype="datetime64[ns]"))
            self.assertEqual(ds.freq_8006.dtype, np.float64)
            np.testing.assert_array_equal(ds.freq_8006.values, [r[2][7] for r in rows])
            np.testing.assert_array_equal(ds.scint_5006.values, [r[2][1] for r in rows])
        rows = [r for q in self.qdr for r in read_qdr(q)]
        with xr.open_dataset(self.export(self.qdr, "qdr.nc")) as ds:
            self.assertEqual(sorted(v for v in ds.data_vars if v[-4:] in ("5006", "8006")),
                             ["freq_5006", "freq_8006", "level_5006", "level_8006"])
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
        np.testing.assert_array_equal(df.frequency_hz.values, np.tile(np.arange(123) * 0.09765625, len(blocks)))
        np.testing.assert_array_equal(df.iloc[:, 4:].values, np.array([r[1:] for b in blocks for r in b[2]]))
        # The same text on standard output, and gzipped for a .csv.gz name.
        with open(os.path.join(self.dir, "spc.csv")) as f:
            text = f.read()
        self.assertEqual(run([EXPORT, self.spc[0], "-o", "-"]).stdout, text)
        with gzip.open(self.export(self.spc[:1], "spc.csv.gz", "--deflate", "9"), "rt") as f:
            self.assertEqual(f.read(), text)

    def test_units_read_by_udunits(self):
        files = [self.export(self.spc, "u.nc", "--pack"), self.export(self.max + [self.kur], "u2.nc"),
                 self.export(self.qdr, "u3.nc")]
        seen = set()
        for path in files:
            with netCDF4.Dataset(path) as nc:
                for v in nc.variables.values():
                    if "units" in v.ncattrs():
                        seen.add(v.units)
                        r = subprocess.run(["udunits2", "-H", v.units, "-W", ""], capture_output=True, text=True)
                        self.assertEqual(r.returncode, 0, f"{path} {v.name}: {v.units}: {r.stderr}")
        self.assertGreaterEqual(len(seen), 5)  # time, Hz, level, degree, ratio

    def test_fill_values_read_back_missing(self):
        # Asterisks (a value too wide for its field) in a .max and a .spc.
        work = os.path.join(self.dir, "stars")
        os.makedirs(work, exist_ok=True)
        mx, sp = (os.path.join(work, os.path.basename(p)) for p in (self.max[0], self.spc[0]))
        with open(self.max[0], "rb") as a, open(mx, "wb") as b:
            b.write(a.read())
        with open(self.spc[0], "rb") as a, open(sp, "wb") as b:
            b.write(a.read())
        put_stars(mx, 3, 9)            # block 2, level_5006
        put_stars(sp, 2 * 124 + 5, 3)  # block 2, bin 4, level_8006
        for opts in ((), ("--pack",)):
            with xr.open_dataset(self.export([mx], "fm.nc", *opts)) as ds:
                self.assertTrue(np.isnan(ds.level_5006.values[2]))
                self.assertEqual(int(np.isnan(ds.level_5006.values).sum()), 1)
            with xr.open_dataset(self.export([sp], "fs.nc", *opts)) as ds:
                self.assertTrue(np.isnan(ds.level_8006.values[2, 4]))
                self.assertEqual(int(np.isnan(ds.level_8006.values).sum()), 1)
            with netCDF4.Dataset(os.path.join(self.dir, "fs.nc")) as nc:
                self.assertEqual(int(np.ma.count_masked(nc["level_8006"][:])), 1)

    def test_pack_stores_the_files_text(self):
        with netCDF4.Dataset(self.export(self.spc, "p.nc", "--pack")) as nc:
            nc.set_auto_maskandscale(False)
            stored = [nc[v][:] for v in ("level_5006", "phase_5006", "level_8006", "phase_8006")]
            self.assertEqual(nc["phase_5006"].scale_factor, 0.1)
        at = 0
        for path in self.spc:
            with open(path, newline="") as f:
                lines = [line.split("\t") for line in f.read().split("\r\n") if line.count("\t") == 4]
            for i, cols in enumerate(lines[: len(lines) // 123 * 123]):
                t, b = at + i // 123, i % 123
                self.assertEqual([int(a[t, b]) for a in stored], [digits(c) for c in cols[1:]], f"{path} {i}")
            at += len(lines) // 123
        self.assertEqual(at, stored[0].shape[0])
        with netCDF4.Dataset(self.export(self.max, "pm.nc", "--pack")) as nc:
            nc.set_auto_maskandscale(False)
            rows = [line.rstrip("\t").replace(",", "\t").split("\t")
                    for m in self.max for line in open(m, newline="").read().split("\r\n")[1:] if line]
            names = [f"{v}_{c}" for c in (5006, 8006) for v in ("mean", "scint", "freq", "level", "phase")]
            got = np.array([nc[n][:] for n in names]).T
        np.testing.assert_array_equal(got, [[digits(c) for c in r[8:18]] for r in rows])

    def test_two_stations_one_dataset(self):
        sgd = [r for m in self.max for r in read_max(m)]
        kur = read_max(self.kur)
        exact = {"SGD": [t for f in self.exact for t in f], "KUR": self.kur_exact}
        with xr.open_dataset(self.export(self.max + [self.kur], "two.nc")) as ds:
            self.assertIn("station KUR is not in the station registry", self.stderr)
            ds = ds.set_index(station="station_code")
            self.assertEqual(ds.latitude.sel(station="SGD"), 36.52)
            self.assertTrue(np.isnan(ds.latitude.sel(station="KUR")))
            self.assertEqual(list(ds.station.values), ["SGD", "KUR"])
            self.assertEqual(ds.freq_5006.dims, ("station", "time"))
            self.assertTrue(ds.time.to_index().is_monotonic_increasing)
            self.assertEqual(len(ds.time), len(set(exact["SGD"]) | set(exact["KUR"])))
            for code, rows in (("SGD", sgd), ("KUR", kur)):
                one = ds.sel(station=code)
                times = np.array(exact[code], dtype="datetime64[ns]")
                np.testing.assert_array_equal(one.freq_8006.sel(time=times).values, [r[2][7] for r in rows])
                np.testing.assert_array_equal(one.step.sel(time=times).values, [r[1] for r in rows])
                self.assertEqual(int(one.freq_8006.notnull().sum()), len(rows))  # blank elsewhere
        # Spectra: each station's slab of the time x frequency grid, plain and packed.
        kur_spc = self.kur[:-4] + ".spc"
        for opts in ((), ("--pack",)):
            with xr.open_dataset(self.export([self.spc[2], kur_spc], "twospc.nc", *opts)) as ds:
                ds = ds.set_index(station="station_code")
                for code, path, times in (("SGD", self.spc[2], self.exact[2]), ("KUR", kur_spc, exact["KUR"])):
                    blocks = read_spc(path)
                    one = ds.level_8006.sel(station=code)
                    got = one.sel(time=np.array(times, dtype="datetime64[ns]")).values
                    want = np.array([[r[3] for r in b[2]] for b in blocks], dtype=got.dtype)
                    # Packed: the stored digits are exact (see above); int x 0.001 is within an ulp.
                    np.testing.assert_allclose(got, want, rtol=1e-15 if opts else 0, err_msg=f"{code} {opts}")
                    self.assertEqual(int(one.notnull().sum()), len(blocks) * 123)
        df = pd.read_csv(self.export(self.max + [self.kur], "two.csv"), parse_dates=["time_utc"])
        self.assertEqual(list(df.columns[:4]), ["time_utc", "time_jst", "station", "step"])
        self.assertTrue(df.time_utc.is_monotonic_increasing)
        for code, rows in (("SGD", sgd), ("KUR", kur)):
            one = df[df.station == code]
            np.testing.assert_array_equal(one.time_utc.dt.tz_localize(None).values,
                                          np.array(exact[code], dtype="datetime64[ns]"))
            np.testing.assert_array_equal(one.scint_5006.values, [r[2][1] for r in rows])

    def test_empty_span_gives_a_file_without_times(self):
        for opts in ((), ("--pack",)):
            with xr.open_dataset(self.export(self.spc, "none.nc", "--from", "2009-01-01T00:00Z", *opts)) as ds:
                self.assertEqual(ds.sizes["time"], 0)
                self.assertEqual(ds.level_5006.shape, (0, 123))
        df = pd.read_csv(self.export(self.max + [self.kur], "none.csv", "--to", "2000-01-01T00:00Z"))
        self.assertEqual(len(df), 0)


if __name__ == "__main__":
    if SYNTH is None:
        sys.exit(__doc__)
    unittest.main(argv=sys.argv[:1], verbosity=2)
