#pragma once
// One row per file chosen for upload, with the texts the user may edit.

#include <QSet>
#include <QStandardItemModel>

class UploadTableModel : public QStandardItemModel
{
    Q_OBJECT
public:
    enum Role
    {
        PathRole = Qt::UserRole, // 256, absolute file path
        SuffixRole,              // file suffix
        SizeRole,                // file size in bytes
        TitleRole,               // title, at most 200 characters
        DescRole,                // description
        TagsRole,                // tags
    };
    enum Column
    {
        TitleColumn = 0,
        FormatColumn,
        SizeColumn,
        EditColumn,
        DeleteColumn,
        ColumnCount,
    };
    static constexpr int kMaxTitleLength = 200;

    explicit UploadTableModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Row whose path equals `path` exactly; -1 when none.
    int RowOfPath(const QString& path) const;
    bool ContainsPath(const QString& path) const { return paths_.contains(path); }
    // Appends one row per path, announcing the new count once.
    void AppendFiles(const QStringList& filepaths);

public slots:
    void SlotAppend(const QString& filepath);
    void SlotClear();

signals:
    void SignalRowCountChanged(int count);

private:
    void CountChanged();

    QSet<QString> paths_; // of every row, so adding many files stays linear
    bool batching_ = false;
};
