#include "matchlistmodel.h"

#include "filesearch.h"

#include <algorithm>

namespace {

// Rows in sight, and some on either side for scrolling.
constexpr int CachedRows = 512;

} // namespace

MatchListModel::MatchListModel(QObject *parent)
    : QAbstractListModel(parent),
      texts(CachedRows)
{
}

void MatchListModel::reset(const Source &newSource)
{
    beginResetModel();
    source = newSource;
    starts = std::vector<qint64>();
    texts.clear();
    endResetModel();
}

void MatchListModel::append(const std::vector<qint64> &readStarts)
{
    if (readStarts.empty())
        return;
    const int first = int(starts.size());
    beginInsertRows(QModelIndex(), first, first + int(readStarts.size()) - 1);
    starts.insert(starts.end(), readStarts.begin(), readStarts.end());
    endInsertRows();
}

void MatchListModel::dropFrom(qint64 byte)
{
    const auto first = std::lower_bound(starts.begin(), starts.end(), byte);
    if (first == starts.end())
        return;
    const int row = int(first - starts.begin());
    beginRemoveRows(QModelIndex(), row, int(starts.size()) - 1);
    starts.erase(first, starts.end());
    for (int cached : texts.keys()) {
        if (cached >= row)
            texts.remove(cached);
    }
    endRemoveRows();
}

QString MatchListModel::rowText(int row) const
{
    if (const QString *cached = texts.object(row))
        return *cached;
    const QString text = FileSearch::readAt(source.path, source.codecName, source.maxLineChars,
                                            readStartAt(row));
    texts.insert(row, new QString(text));
    return text;
}

int MatchListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(starts.size());
}

QVariant MatchListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(starts.size()))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return rowText(index.row());
    case PercentRole:
        return fileSize > 0 ? double(readStartAt(index.row())) * 100.0 / double(fileSize) : 0.0;
    case ReadStartRole:
        return readStartAt(index.row());
    default:
        return QVariant();
    }
}
