#include "team/RowsForServer.h"

#include "acquire/Channels.h"
#include "record/RecordFormat.h"
#include "record/RecordingTable.h"
#include "team/Connection.h"

#include <cmath>
#include <limits>
#include <vector>

namespace ignivex::team {

double firstElapsed(const QList<QByteArray>& lines) {
    record::RowCells cells;
    for (const QByteArray& line : lines) {
        if (record::parseCells(line, cells))
            return cells.elapsed;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

QByteArray copyRows(int runKey, qint64 firstRow, const QList<QByteArray>& lines) {
    std::vector<record::RowCells> cells(std::size_t(lines.size()));
    std::vector<bool> parsed(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        parsed[i] = record::parseCells(lines[qsizetype(i)], cells[i]);
    const QByteArray key = QByteArray::number(runKey);
    QByteArray out;
    out.reserve(lines.size() * 160);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const record::RowCells& c = cells[i];
        out += key + '\t' + QByteArray::number(firstRow + qint64(i)) + '\t';
        if (parsed[i]) {
            out += QByteArray::number(int(c.status)) + '\t' +
                   QByteArray::number(c.elapsed, 'g', 17) + '\t';
            // To the next line that is a row (the reader skips one that is not).
            std::size_t next = i + 1;
            while (next < cells.size() && !parsed[next])
                ++next;
            if (next < cells.size())
                out += QByteArray::number(cells[next].elapsed - c.elapsed, 'g', 17);
            else
                out += "\\N";
            for (std::size_t v = 0; v < kValues.size(); ++v) {
                const double value = c.values[v];
                out += '\t';
                if (std::isfinite(value))
                    out += QByteArray::number(
                        qint64(record::writtenUnits(value, kValues[v].decimals)));
                else
                    out += "\\N";
            }
        } else {
            out += "\\N\t\\N\t\\N";
            for (std::size_t v = 0; v < kValues.size(); ++v)
                out += "\t\\N";
        }
        out += '\t';
        appendCopyField(out, lines[qsizetype(i)]);
        out += '\n';
    }
    return out;
}

}  // namespace ignivex::team
