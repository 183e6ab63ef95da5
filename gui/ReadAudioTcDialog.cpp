#include "ReadAudioTcDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "media/LtcReadingRanges.h"
#include "timecode/ltc/LtcReadingAlgorithm.h"

namespace vorlane::gui {

namespace {

void fillNumbered(QComboBox* menu, const QString& word, int count) {
    menu->addItem("any");
    for (int number = 1; number <= count; ++number)
        menu->addItem(QString("%1 %2").arg(word).arg(number));
}

void selectIndex(QComboBox* menu, int64_t index) {
    menu->setCurrentIndex(index >= 0 && index < menu->count() ? int(index) : 0);
}

}  // namespace

ReadAudioTcDialog::ReadAudioTcDialog(ReadAudioTcPanelController& panel, QWidget* parent)
    : QDialog(parent),
      panel_(panel),
      filesSelected_(new QLabel(this)),
      rate_(new QComboBox(this)),
      track_(new QComboBox(this)),
      channel_(new QComboBox(this)),
      ranges_(new QComboBox(this)),
      algorithm_(new QComboBox(this)),
      offset_(new QLineEdit(this)) {
    setWindowTitle("Read Audio Timecode");
    setObjectName("readAudioTcDialog");
    setWindowModality(Qt::WindowModal);
    for (const auto& title : ReadAudioTcPanelController::frameRateTitles())
        rate_->addItem(QString::fromStdString(title));
    fillNumbered(track_, "Track", 16);
    fillNumbered(channel_, "Channel", 16);
    for (int code = 0; code <= 4; ++code) {
        ranges_->addItem(QString::fromStdString(description(*readingRangesWithCode(code))));
        algorithm_->addItem(QString::fromStdString(description(*readingAlgorithmWithCode(code))));
    }
    offset_->setValidator(new QIntValidator(-100000, 100000, offset_));

    auto* form = new QFormLayout;
    form->addRow("Frame rate:", rate_);
    form->addRow("Track:", track_);
    form->addRow("Channel:", channel_);
    form->addRow("Read:", ranges_);
    form->addRow("Algorithm:", algorithm_);
    form->addRow("Offset (frames):", offset_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("Read", QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesSelected_);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &ReadAudioTcDialog::readTimecode);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ReadAudioTcDialog::showForFiles(size_t count,
                                     std::function<void(const AudioTimecodeRequest&)> onRead) {
    onRead_ = std::move(onRead);
    panel_.loadUserDefaults(count);
    filesSelected_->setText(QString::fromStdString(panel_.filesSelectedText()));
    selectIndex(rate_, panel_.rateIndex);
    selectIndex(track_, panel_.trackIndex);
    selectIndex(channel_, panel_.channelIndex);
    selectIndex(ranges_, panel_.rangesIndex);
    selectIndex(algorithm_, panel_.algorithmIndex);
    offset_->setText(QString::fromStdString(panel_.offsetText));
    open();
}

void ReadAudioTcDialog::readTimecode() {
    panel_.rateIndex = rate_->currentIndex();
    panel_.trackIndex = track_->currentIndex();
    panel_.channelIndex = channel_->currentIndex();
    panel_.rangesIndex = ranges_->currentIndex();
    panel_.algorithmIndex = algorithm_->currentIndex();
    panel_.offsetText = offset_->text().toStdString();
    const AudioTimecodeRequest request = panel_.readTimecode();
    accept();
    if (onRead_) onRead_(request);
}

}  // namespace vorlane::gui
