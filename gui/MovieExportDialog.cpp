#include "MovieExportDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "platform/media/MovieWriter.h"

namespace vorlane::gui {

namespace {

struct Item {
    int64_t tag;
    const char* title;
    const char* encoder;  // the FFmpeg encoder the item needs; nullptr for none
};

const std::vector<Item> kVideoCodecs = {
    {0, "Keep source video", nullptr},  {2, "H.264, 1 Mbit/s", "libx264"},
    {3, "H.264, 2 Mbit/s", "libx264"},  {4, "H.264, 4 Mbit/s", "libx264"},
    {5, "H.264, 12 Mbit/s", "libx264"}, {7, "HEVC, 1 Mbit/s", "libx265"},
    {8, "HEVC, 2 Mbit/s", "libx265"},   {9, "HEVC, 4 Mbit/s", "libx265"},
    {10, "HEVC, 12 Mbit/s", "libx265"}, {12, "ProRes 422 Proxy", "prores_ks"},
    {13, "ProRes 422 LT", "prores_ks"}, {14, "ProRes 422", "prores_ks"},
    {15, "ProRes 422 HQ", "prores_ks"}, {16, "ProRes 4444", "prores_ks"},
    {18, "AVC-Intra 50", "libx264"},    {19, "AVC-Intra 100", "libx264"},
    {20, "AVC-Intra 200", "libx264"}};
const std::vector<Item> kSizes = {{0, "Source size", nullptr}, {2, "3840 × 2160", nullptr},
                                  {4, "1920 × 1080", nullptr}, {5, "1280 × 720", nullptr},
                                  {7, "1024 × 576", nullptr},  {8, "640 × 360", nullptr}};
const std::vector<Item> kAudio = {
    {0, "Keep source audio", nullptr},          {1, "Linear PCM (source rate and depth)", nullptr},
    {3, "Linear PCM 44.1 kHz 16 bit", nullptr}, {4, "Linear PCM 48 kHz 16 bit", nullptr},
    {5, "Linear PCM 48 kHz 24 bit", nullptr},   {6, "Linear PCM 96 kHz 24 bit", nullptr}};

// Fills the menu with the items that are not hidden and selects the tag.
void fill(QComboBox* menu, const std::vector<Item>& items, int64_t selected,
          const std::function<bool(int64_t)>& hidden) {
    menu->clear();
    for (const Item& item : items)
        if (!hidden(item.tag)) menu->addItem(item.title, QVariant::fromValue<qlonglong>(item.tag));
    const int index = menu->findData(QVariant::fromValue<qlonglong>(selected));
    menu->setCurrentIndex(index >= 0 ? index : 0);
}

int64_t selectedTag(const QComboBox* menu) {
    return menu->currentData().toLongLong();
}

}  // namespace

MovieExportDialog::MovieExportDialog(UserDefaults& defaults, URLValidator& validator,
                                     QWidget* parent)
    : QDialog(parent),
      defaults_(defaults),
      validator_(validator),
      synchronized_(new QRadioButton("Synchronized movies", this)),
      embedTimecode_(new QRadioButton("Embed timecode", this)),
      videoCodec_(new QComboBox(this)),
      resize_(new QComboBox(this)),
      audio_(new QComboBox(this)),
      destination_(new QLineEdit(this)) {
    setWindowTitle("Select Path for Media Export");
    setObjectName("movieExportDialog");
    setWindowModality(Qt::WindowModal);
    // The platform writes no reference movies; codecs need their encoder in the linked FFmpeg.
    options_.showQTReferenceCheckbox(false);
    options_.showHEVCCodecs(MovieWriter::encoderAvailable("libx265"));
    options_.showAVCIntraCodecs(MovieWriter::encoderAvailable("libx264"));

    auto* choose = new QPushButton("Choose...", this);
    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(destination_, 1);
    destinationRow->addWidget(choose);
    auto* kind = new QHBoxLayout;
    kind->addWidget(synchronized_);
    kind->addWidget(embedTimecode_);
    auto* form = new QFormLayout;
    form->addRow("Folder:", destinationRow);
    form->addRow("Export:", kind);
    form->addRow("Video:", videoCodec_);
    form->addRow("Size:", resize_);
    form->addRow("Audio:", audio_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("Export", QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(choose, &QPushButton::clicked, this, &MovieExportDialog::chooseDestination);
    connect(buttons, &QDialogButtonBox::accepted, this, &MovieExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(synchronized_, &QRadioButton::toggled, this,
            [this](bool on) { options_.setSynchronizedSelected(on); });
    connect(videoCodec_, &QComboBox::activated, this, [this] {
        options_.videoCodecSelectionPopup(selectedTag(videoCodec_));
        refresh();
    });
    connect(resize_, &QComboBox::activated, this,
            [this] { options_.setVideoResizeTag(selectedTag(resize_)); });
    connect(audio_, &QComboBox::activated, this,
            [this] { options_.setAudioCodecTag(selectedTag(audio_)); });
}

void MovieExportDialog::refresh() {
    synchronized_->setChecked(options_.synchronizedSelected());
    embedTimecode_->setChecked(!options_.synchronizedSelected());
    fill(videoCodec_, kVideoCodecs, options_.videoCodecTag(), [this](int64_t tag) {
        const Item* item = nullptr;
        for (const Item& candidate : kVideoCodecs)
            if (candidate.tag == tag) item = &candidate;
        return options_.isVideoCodecItemHidden(tag) ||
               (item && item->encoder && !MovieWriter::encoderAvailable(item->encoder));
    });
    fill(resize_, kSizes, options_.videoResizeTag(),
         [this](int64_t tag) { return options_.isResizeItemHidden(tag); });
    fill(audio_, kAudio, options_.audioCodecTag(), [](int64_t) { return false; });
    videoCodec_->setEnabled(options_.videoCodecEnabled());
    resize_->setEnabled(options_.videoResizeEnabled());
}

void MovieExportDialog::showDialog(Confirmed confirmed) {
    confirmed_ = std::move(confirmed);
    options_.loadUserDefaults(defaults_);
    options_.videoCodecSelectionPopup(options_.videoCodecTag());
    refresh();
    open();
}

void MovieExportDialog::setDestination(const QString& folder) {
    destination_->setText(folder);
}

void MovieExportDialog::chooseDestination() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, windowTitle(), destination_->text());
    if (!folder.isEmpty()) setDestination(folder);
}

void MovieExportDialog::accept() {
    if (destination_->text().trimmed().isEmpty()) chooseDestination();
    const QString folder = destination_->text().trimmed();
    if (folder.isEmpty()) return;
    const std::filesystem::path url = folder.toStdString();
    if (!validator_.validateURL(url, true)) return;
    options_.saveUserDefaults(defaults_);
    options_.readSettings();
    defaults_.synchronize();
    QDialog::accept();
    if (confirmed_) confirmed_(url);
}

}  // namespace vorlane::gui
