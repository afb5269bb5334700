#pragma once

#include <QString>
#include <QStringList>

// The texts every store of runs searches and tags with, alike on the PC and on a server.
namespace ignivex::catalog {

// The words of a search, each to be found: "car12 coil" finds runs with both.
QStringList searchWords(const QString& text);

// A word as a LIKE pattern found anywhere, its %, _ and \ taken literally (escaped by \).
QString likePattern(const QString& word);

// The tags trimmed, each once, sorted; empty ones dropped.
QStringList cleanTags(const QStringList& tags);

}  // namespace ignivex::catalog
