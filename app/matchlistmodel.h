#ifndef MATCHLISTMODEL_H
#define MATCHLISTMODEL_H

// The rows of the match list: every matching line of the file, kept as the
// byte where its read starts and nothing more. A row's text is read from the
// file when the row is drawn, through a small cache, so a list of millions
// of rows costs about 8 bytes a row.

#include <QAbstractListModel>
#include <QCache>

#include <vector>

class MatchListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { PercentRole = Qt::UserRole + 1, ReadStartRole };

    // Where rows are read from: the file, decoded as the window decodes it.
    struct Source
    {
        QString path;
        QString codecName;
        qint64 maxLineChars = 0;
    };

    explicit MatchListModel(QObject *parent = nullptr);

    // Empties the list for rows from source.
    void reset(const Source &source);
    // Adds a batch of rows, in file order, after the others.
    void append(const std::vector<qint64> &readStarts);
    // Drops the rows from byte on: a line that was still being written when
    // it was listed is listed again once complete.
    void dropFrom(qint64 byte);
    // The file's size, for the rows' percentages.
    void setFileSize(qint64 size) { fileSize = size; }

    qint64 readStartAt(int row) const { return starts.at(size_t(row)); }
    QString rowText(int row) const;
    // Memory the rows take, the cache aside.
    qint64 rowBytes() const { return qint64(starts.capacity() * sizeof(qint64)); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    Source source;
    qint64 fileSize = 0;
    std::vector<qint64> starts;
    mutable QCache<int, QString> texts;
};

#endif // MATCHLISTMODEL_H
