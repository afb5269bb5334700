"""The numpy line of the README and of the help page, run as written on a recording of an
earlier version (no mark column) and on one with marks."""
import re
import sys

import numpy
np = numpy

readme, helppage, recording, marked = sys.argv[1:5]
columns = ("time,elapsed_s,rpm,advance,map,battery_v,gpi3_v,gpi1,gpi2,gpi3,status").split(",")

with open(readme, encoding="utf-8") as f:
    from_readme = re.search(r"`(np\.genfromtxt\(.*?\))`", f.read()).group(1)
with open(helppage, encoding="utf-8") as f:
    from_help = re.search(r"<code>(numpy\.genfromtxt\(.*?\))</code>", f.read(), re.S).group(1)
    from_help = re.sub(r"\s+", " ", from_help).replace("&quot;", '"').replace("&gt;", ">")

for line, name in ((from_readme, "path"), (from_help, "file")):
    for path, names in ((recording, columns), (marked, columns + ["mark"])):
        table = eval(line, {"np": np, "numpy": numpy, name: path})
        assert list(table.dtype.names) == names, (line, table.dtype.names)
        assert len(table) == 3, (line, len(table))
        assert table["rpm"][0] == 915.5 and numpy.isnan(table["rpm"][1]), (line, table["rpm"])
        assert list(table["status"]) == ["ok", "ignored", "ok"], (line, table["status"])
        if "mark" in names:
            assert [m.strip('"') for m in table["mark"]] == ["", "pull 1; 3rd gear", "mark 2"], table["mark"]
# The pandas and gnuplot lines as the help page gives them.
import pandas
import subprocess
import tempfile
for path, names in ((recording, columns), (marked, columns + ["mark"])):
    frame = pandas.read_csv(path, comment="#")
    assert list(frame.columns) == names, list(frame.columns)
    assert frame["rpm"][0] == 915.5 and numpy.isnan(frame["rpm"][1]), frame["rpm"]
    if "mark" in names:
        assert frame["mark"].tolist()[1:] == ["pull 1; 3rd gear", "mark 2"], frame["mark"]
    with tempfile.NamedTemporaryFile("r", suffix=".txt") as points:
        subprocess.run(["gnuplot", "-e", 'set datafile separator ","; set table "%s"; '
                        'plot "%s" using "elapsed_s":"rpm" with lines' % (points.name, path)],
                       check=True, capture_output=True)
        xy = [l.split()[:2] for l in points.read().splitlines() if l.strip() and l[0] != "#"]
        assert xy == [["0.012", "915.5"], ["0.212", "920"]], xy
print("numpy, pandas and gnuplot read", recording, "and", marked)
