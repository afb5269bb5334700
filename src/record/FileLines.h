#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <atomic>
#include <functional>

namespace ignivex::record {

// How a line passed on ended: with its LF, at the end of the file, or not at all within
// `longest` bytes (then it is passed cut, and the rest of it is passed over).
enum class LineEnd { Ended, Unended, TooLong };

// Feeds a stretch of a file to a callback a line at a time, without its line end, with the
// line's offset in the file. Read in blocks, so neither a huge file nor a line without end
// grows memory unbounded; a line is too long by its own length, wherever the blocks fall.
struct FileLines {
    static constexpr qint64 kBlock = 1024 * 1024;

    FileLines(QFile& file, qint64 begin, qint64 end, qint64 longest,
              const std::atomic<bool>* cancel, const std::atomic<bool>* stop = nullptr)
        : file(file), begin(begin), end(end), longest(longest), cancel(cancel), stop(stop) {}

    QFile& file;
    qint64 begin;
    qint64 end;  // -1: on to the end of the file, however long it has grown
    qint64 longest;
    const std::atomic<bool>* cancel;  // the reader's caller's: the reading is then cancelled
    const std::atomic<bool>* stop;    // the reader's own: this stretch is not needed
    std::function<void(qint64 read)> progress;  // after each block, with the bytes read so far

    bool cancelled = false;
    QString readError;

    template <typename OnLine>  // bool(QByteArrayView, LineEnd, qint64 offset): false stops
    void run(OnLine onLine) {
        if (!file.seek(begin)) {
            readError = file.errorString();
            return;
        }
        QByteArray buffer;
        qint64 base = begin;  // file offset of buffer[0]
        qint64 read = 0;
        bool skipping = false;  // in the rest of a line passed on as too long
        auto pass = [&](QByteArrayView line, qint64 offset) {
            if (line.size() > longest)
                return onLine(line.first(longest), LineEnd::TooLong, offset);
            return onLine(line, LineEnd::Ended, offset);
        };
        for (;;) {
            if ((cancel && cancel->load()) || (stop && stop->load())) {
                cancelled = cancel && cancel->load();
                return;
            }
            const qint64 want = end < 0 ? kBlock : std::min(kBlock, end - begin - read);
            const qsizetype carried = buffer.size();
            buffer.resize(carried + qsizetype(want));
            const qint64 got = want > 0 ? file.read(buffer.data() + carried, want) : 0;
            if (got < 0) {
                readError = file.errorString();
                return;
            }
            buffer.resize(carried + qsizetype(got));
            read += got;
            if (progress)
                progress(read);
            qsizetype from = 0;
            for (;;) {
                const qsizetype lineEnd = buffer.indexOf('\n', from);
                if (lineEnd < 0)
                    break;
                const QByteArrayView line(buffer.constData() + from, lineEnd - from);
                const qint64 offset = base + from;
                from = lineEnd + 1;
                if (std::exchange(skipping, false))
                    continue;
                if (!pass(line, offset))
                    return;
            }
            if (skipping)
                from = buffer.size();
            base += from;
            buffer.remove(0, from);
            if (buffer.size() > longest) {
                const bool goOn = pass(buffer, base);
                base += buffer.size();
                buffer.clear();
                skipping = true;
                if (!goOn)
                    return;
            }
            if (got == 0) {
                if (!buffer.isEmpty() && !skipping)
                    onLine(QByteArrayView(buffer), LineEnd::Unended, base);
                return;
            }
        }
    }
};

}  // namespace ignivex::record
