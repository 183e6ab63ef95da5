#include "AVShiftDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

namespace vorlane::gui {

AVShiftDialog::AVShiftDialog(AVShiftPanelController& panel, AlertPresenter& alerts, QWidget* parent)
    : QDialog(parent),
      panel_(panel),
      alerts_(alerts),
      filesSelected_(new QLabel(this)),
      slider_(new QSlider(Qt::Horizontal, this)),
      sliderLabel_(new QLabel(this)),
      presets_(new QComboBox(this)),
      add_(new QPushButton("Add Preset", this)),
      remove_(new QPushButton("Remove Preset", this)) {
    setWindowTitle("AV Shift");
    setObjectName("avShiftDialog");
    setWindowModality(Qt::WindowModal);
    slider_->setRange(-50, 50);  // hundredths of a second
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setTickInterval(10);

    auto* presetRow = new QHBoxLayout;
    presetRow->addWidget(presets_, 1);
    presetRow->addWidget(add_);
    presetRow->addWidget(remove_);
    auto* buttons = new QDialogButtonBox(this);
    auto* set = buttons->addButton("Set", QDialogButtonBox::AcceptRole);
    auto* removeShift = buttons->addButton("Remove", QDialogButtonBox::DestructiveRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesSelected_);
    layout->addWidget(slider_);
    layout->addWidget(sliderLabel_);
    layout->addLayout(presetRow);
    layout->addWidget(buttons);

    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (refreshing_) return;
        panel_.avShiftSlider(value);
        refresh();
    });
    connect(presets_, &QComboBox::activated, this, [this](int item) {
        panel_.presetSelect(size_t(item));
        refresh();
    });
    connect(add_, &QPushButton::clicked, this, [this] {
        panel_.presetAdd();
        refresh();
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        panel_.presetRemove(alerts_);
        refresh();
    });
    connect(set, &QPushButton::clicked, this, [this] {
        panel_.avShiftSet();
        accept();
    });
    connect(removeShift, &QPushButton::clicked, this, [this] {
        panel_.avShiftRemove();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void AVShiftDialog::activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files) {
    panel_.activateWithMediaFiles(std::move(files));
    refresh();
    open();
}

void AVShiftDialog::refresh() {
    refreshing_ = true;
    filesSelected_->setText(QString::fromStdString(panel_.filesSelectedText()));
    slider_->setValue(int(std::lround(panel_.sliderValue())));
    sliderLabel_->setText(QString::fromStdString(panel_.sliderLabel()));
    presets_->clear();
    for (const auto& item : panel_.items())
        presets_->addItem(QString::fromStdString(item));
    presets_->setCurrentIndex(int(panel_.selectedItem()));
    add_->setEnabled(panel_.addEnabled());
    remove_->setEnabled(panel_.removeEnabled());
    refreshing_ = false;
}

}  // namespace vorlane::gui
