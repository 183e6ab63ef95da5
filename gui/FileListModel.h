// The file list: one row per pool file (row = index in the pool) with its thumbnail, name,
// timecode, sync group, the readable summaries and the sync information, highlighted by its
// colour. A row redraws on "UpdateMediaFile"; the table reloads on "ReloadTableView" and
// "RemoveIndexes".
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPixmap>
#include <memory>
#include <unordered_map>
#include <vector>

#include "media/MediaPool.h"
#include "platform/NotificationCenter.h"

namespace vorlane::gui {

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        ThumbnailColumn,
        NameColumn,
        TimecodeColumn,
        SyncGroupColumn,
        SyncInfoColumn,
        FileColumn,
        VideoColumn,
        AudioColumn,
        FileTimecodeColumn,
        AudioTimecodeColumn,
        ColumnCount
    };
    // The value columns sort by.
    static constexpr int SortRole = Qt::UserRole + 1;

    FileListModel(MediaPool& pool, NotificationCenter& center, QObject* parent = nullptr);
    ~FileListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Multicam mode shows the picture files' own groups.
    void setShowVideoSyncGroups(bool on);
    // Takes the pool's files again.
    void reload();
    std::shared_ptr<MediaFile> fileAtRow(int row) const;

  private:
    void takeFiles(std::vector<std::shared_ptr<MediaFile>> files);
    void updateFile(const std::shared_ptr<MediaFile>& file);
    QPixmap thumbnailOf(const MediaFile& file) const;
    QVariant textOf(const MediaFile& file, int column) const;

    MediaPool& pool_;
    NotificationCenter& center_;
    std::vector<NotificationCenter::ObserverToken> observers_;
    // The rows as last taken from the pool, so that a row is stable between reloads.
    std::vector<std::shared_ptr<MediaFile>> files_;
    std::unordered_map<const MediaFile*, int> rows_;
    mutable QHash<const MediaFile*, QPixmap> thumbnails_;
    bool showVideoSyncGroups_ = true;
};

}  // namespace vorlane::gui
