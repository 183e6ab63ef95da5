#include "FileListModel.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QImage>
#include <QStyle>
#include <algorithm>

#include "media/MediaTypes.h"
#include "timecode/TCHelper.h"

namespace vorlane::gui {

namespace {

constexpr int kThumbnailShownWidth = 96;
constexpr int kThumbnailShownHeight = 54;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace

FileListModel::FileListModel(MediaPool& pool, NotificationCenter& center, QObject* parent)
    : QAbstractTableModel(parent), pool_(pool), center_(center) {
    takeFiles(pool_.files());
    observers_.push_back(center_.addObserverForName(
        kUpdateMediaFileNotification, [this](const Notification& notification) {
            if (const auto* file = std::any_cast<std::shared_ptr<MediaFile>>(&notification.object))
                updateFile(*file);
        }));
    for (const char* name : {kReloadTableViewNotification, kRemoveIndexesNotification})
        observers_.push_back(
            center_.addObserverForName(name, [this](const Notification&) { reload(); }));
}

FileListModel::~FileListModel() {
    for (const auto token : observers_)
        center_.removeObserver(token);
}

void FileListModel::takeFiles(std::vector<std::shared_ptr<MediaFile>> files) {
    files_ = std::move(files);
    rows_.clear();
    for (size_t row = 0; row < files_.size(); ++row)
        rows_[files_[row].get()] = int(row);
}

// The same files redraw, files appended to the pool are inserted (both keep the selection);
// any other change resets the list.
void FileListModel::reload() {
    std::vector<std::shared_ptr<MediaFile>> files = pool_.files();
    const size_t kept = files_.size();
    const bool appended =
        files.size() >= kept && std::equal(files_.begin(), files_.end(), files.begin());
    if (!appended) {
        beginResetModel();
        takeFiles(std::move(files));
        thumbnails_.clear();
        endResetModel();
        return;
    }
    thumbnails_.clear();
    if (kept > 0) emit dataChanged(index(0, 0), index(int(kept) - 1, ColumnCount - 1));
    if (files.size() == kept) return;
    beginInsertRows({}, int(kept), int(files.size()) - 1);
    takeFiles(std::move(files));
    endInsertRows();
}

void FileListModel::updateFile(const std::shared_ptr<MediaFile>& file) {
    const auto found = rows_.find(file.get());
    if (found == rows_.end()) return;
    thumbnails_.remove(file.get());
    emit dataChanged(index(found->second, 0), index(found->second, ColumnCount - 1));
}

void FileListModel::setShowVideoSyncGroups(bool on) {
    showVideoSyncGroups_ = on;
    if (!files_.empty())
        emit dataChanged(index(0, SyncGroupColumn), index(int(files_.size()) - 1, SyncGroupColumn));
}

std::shared_ptr<MediaFile> FileListModel::fileAtRow(int row) const {
    if (row < 0 || size_t(row) >= files_.size()) return nullptr;
    return files_[size_t(row)];
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(files_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[ColumnCount] = {"",          "Name",    "Timecode", "Group",
                                                     "Sync Info", "File",    "Video",    "Audio",
                                                     "File TC",   "Audio TC"};
    return section >= 0 && section < ColumnCount ? QVariant(kTitles[section]) : QVariant();
}

QPixmap FileListModel::thumbnailOf(const MediaFile& file) const {
    if (const auto cached = thumbnails_.find(&file); cached != thumbnails_.end()) return *cached;
    const Image image = file.thumbnail();
    QPixmap pixmap;
    if (image.hasPixels()) {
        const QImage picture(image.rgba.data(), image.width, image.height, image.width * 4,
                             QImage::Format_RGBA8888);
        pixmap = QPixmap::fromImage(picture.scaled(kThumbnailShownWidth, kThumbnailShownHeight,
                                                   Qt::KeepAspectRatio, Qt::SmoothTransformation));
    } else {
        const bool sound = file.type() == MediaTypeAudio;
        const QStyle::StandardPixmap icon = !file.hasBeenAnalyzed() ? QStyle::SP_BrowserReload
                                            : sound                 ? QStyle::SP_MediaVolume
                                            : (file.type() & MediaTypeVideo)
                                                ? QStyle::SP_MediaPlay
                                                : QStyle::SP_MessageBoxWarning;
        pixmap = QApplication::style()->standardIcon(icon).pixmap(32, 32);
    }
    thumbnails_.insert(&file, pixmap);
    return pixmap;
}

QVariant FileListModel::textOf(const MediaFile& file, int column) const {
    switch (column) {
        case NameColumn:
            return text(file.name());
        case TimecodeColumn: {
            const auto timecode = file.timecode();
            return timecode ? text(timecode->timecodeString(TCOptionWrap24h)) : QString("--");
        }
        case SyncGroupColumn: {
            const bool shown = showVideoSyncGroups_ || (file.type() & MediaTypeVideo) == 0;
            return shown ? QVariant(uint(file.syncGroup())) : QVariant(QString("-"));
        }
        case SyncInfoColumn:
            return text(file.infoText());
        case FileColumn:
            return text(file.readableFileInfo());
        case VideoColumn:
            return text(file.readableVideoInfo());
        case AudioColumn:
            return text(file.readableAudioInfo());
        case FileTimecodeColumn:
            return text(file.readableFileTimecodeInfo());
        case AudioTimecodeColumn:
            return text(file.readableAudioTimecodeInfo());
        default:
            return {};
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    const auto file = fileAtRow(index.row());
    if (!file) return {};
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return column == ThumbnailColumn ? QVariant() : textOf(*file, column);
        case Qt::DecorationRole:
            return column == ThumbnailColumn ? QVariant(thumbnailOf(*file)) : QVariant();
        case Qt::ToolTipRole:
            return column == ThumbnailColumn ? QVariant() : textOf(*file, column);
        case SortRole:
            return column == ThumbnailColumn ? QVariant(index.row()) : textOf(*file, column);
        case Qt::BackgroundRole:
            switch (file->highLightColor()) {
                case 1:
                    return QBrush(QColor(255, 205, 200));
                case 2:
                    return QBrush(QColor(205, 240, 205));
                default:
                    return {};
            }
        case Qt::ForegroundRole:
            return file->highLightColor() != 0 ? QBrush(Qt::black) : QVariant();
        default:
            return {};
    }
}

}  // namespace vorlane::gui
