"""The numpy line of the README and of the help page, run as written on a recording."""
import re
import sys

import numpy
np = numpy

readme, helppage, recording = sys.argv[1:4]
columns = ("time,elapsed_s,rpm,advance,map,battery_v,gpi3_v,gpi1,gpi2,gpi3,status").split(",")

with open(readme, encoding="utf-8") as f:
    from_readme = re.search(r"`(np\.genfromtxt\(.*?\))`", f.read()).group(1)
with open(helppage, encoding="utf-8") as f:
    from_help = re.search(r"<code>(numpy\.genfromtxt\(.*?\))</code>", f.read(), re.S).group(1)
    from_help = re.sub(r"\s+", " ", from_help).replace("&quot;", '"').replace("&gt;", ">")

for line, name in ((from_readme, "path"), (from_help, "file")):
    table = eval(line, {"np": np, "numpy": numpy, name: recording})
    assert list(table.dtype.names) == columns, (line, table.dtype.names)
    assert len(table) == 3, (line, len(table))
    assert table["rpm"][0] == 915.5 and numpy.isnan(table["rpm"][1]), (line, table["rpm"])
    assert list(table["status"]) == ["ok", "ignored", "ok"], (line, table["status"])
print("both numpy lines read", recording)
