#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

// What the library knows of one recording: enough to find it, list it and say what it holds
// without reading it again.
namespace ignivex::catalog {

// One channel's figures over the whole recording, as the statistics give them.
struct ChannelFigures {
    QString column;  // "rpm"
    qint64 samples = 0;
    double min = 0, max = 0, mean = 0;
};

struct RunEntry {
    // The recording's "# id:" UUID, or "sha256:" and the hash of its content for a file
    // without one.
    QString id;
    QString path;  // where it was found last, absolute
    QDateTime started;
    double durationS = 0;
    qint64 rows = 0;
    QString firmware;
    QString mapRange;  // as its "# map range:" line gives it
    qint64 marks = 0;
    std::vector<ChannelFigures> channels;
    QStringList tags;  // sorted, each once
    QString note;
    // Not stored: whether the file is still where the library last found it.
    bool present = true;
};

}  // namespace ignivex::catalog
