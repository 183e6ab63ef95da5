#include "OffsetDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cstdlib>

namespace vorlane::gui {

OffsetDialog::OffsetDialog(OffsetPanelController& panel, QWidget* parent)
    : QDialog(parent),
      panel_(panel),
      filesSelected_(new QLabel(this)),
      frameRate_(new QComboBox(this)),
      units_(new QButtonGroup(this)),
      seconds_(new QDoubleSpinBox(this)),
      frames_(new QSpinBox(this)),
      timecode_(new QLineEdit(this)) {
    setWindowTitle("Offset");
    setObjectName("offsetDialog");
    setWindowModality(Qt::WindowModal);
    for (const auto& item : OffsetPanelController::frameRateItems())
        frameRate_->addItem(item.title);
    seconds_->setRange(-86400.0, 86400.0);
    seconds_->setDecimals(3);
    seconds_->setSingleStep(0.1);
    frames_->setRange(-INT_MAX, INT_MAX);
    seconds_->setObjectName("offsetSeconds");
    frames_->setObjectName("offsetFrames");
    timecode_->setObjectName("offsetTimecode");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Frame rate:"), 0, 0);
    grid->addWidget(frameRate_, 0, 1);
    const char* const kUnits[] = {"Seconds", "Frames", "HH:MM:SS:FF"};
    QWidget* const fields[] = {seconds_, frames_, timecode_};
    for (int unit = 0; unit < 3; ++unit) {
        auto* button = new QRadioButton(kUnits[unit], this);
        units_->addButton(button, unit);
        grid->addWidget(button, unit + 1, 0);
        grid->addWidget(fields[unit], unit + 1, 1);
    }
    auto* buttons = new QDialogButtonBox(this);
    auto* set = buttons->addButton("Set", QDialogButtonBox::AcceptRole);
    auto* remove = buttons->addButton("Remove", QDialogButtonBox::DestructiveRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    set->setObjectName("offsetSet");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesSelected_);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(set, &QPushButton::clicked, this, &OffsetDialog::offsetSet);
    connect(remove, &QPushButton::clicked, this, &OffsetDialog::offsetRemove);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(frameRate_, &QComboBox::currentIndexChanged, this, [this](int item) {
        if (refreshing_) return;
        panel_.offsetSetFrameRate(item);
        refresh();
    });
    connect(units_, &QButtonGroup::idClicked, this, [this](int unit) {
        panel_.offsetSelectTimeUnit(unit);
        refresh();
    });
    connect(seconds_, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (refreshing_) return;
        panel_.offsetSeconds(value);
        refresh();
    });
    connect(frames_, &QSpinBox::valueChanged, this, [this](int value) {
        if (refreshing_) return;
        panel_.offsetFrames(value);
        refresh();
    });
    connect(timecode_, &QLineEdit::editingFinished, this, [this] {
        if (refreshing_) return;
        panel_.offsetHHMMSSFF(timecode_->text().toStdString());
        refresh();
    });
}

void OffsetDialog::activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files) {
    panel_.activateWithMediaFiles(std::move(files));
    refresh();
    open();
}

void OffsetDialog::refresh() {
    refreshing_ = true;
    filesSelected_->setText(QString::fromStdString(panel_.filesSelectedText()));
    frameRate_->setCurrentIndex(int(panel_.frameRateItem()));
    if (auto* button = units_->button(panel_.timeUnit())) button->setChecked(true);
    seconds_->setValue(panel_.secondsValue());
    const std::string framesText = panel_.framesText();
    const bool frameBased = framesText != "not applicable";
    frames_->setSpecialValueText(frameBased ? QString() : QString("not applicable"));
    frames_->setValue(frameBased
                          ? int(std::clamp<long long>(std::strtoll(framesText.c_str(), nullptr, 10),
                                                      -INT_MAX, INT_MAX))
                          : frames_->minimum());
    timecode_->setText(QString::fromStdString(panel_.timecodeText()));
    seconds_->setEnabled(panel_.unitEnabled(OffsetPanelController::Seconds));
    frames_->setEnabled(panel_.unitEnabled(OffsetPanelController::Frames));
    timecode_->setEnabled(panel_.unitEnabled(OffsetPanelController::Timecode));
    for (int unit = 1; unit < 3; ++unit)
        units_->button(unit)->setEnabled(frameBased);
    refreshing_ = false;
}

void OffsetDialog::offsetSet() {
    if (timecode_->isEnabled()) panel_.offsetHHMMSSFF(timecode_->text().toStdString());
    panel_.offsetSet();
    accept();
}

void OffsetDialog::offsetRemove() {
    panel_.offsetRemove();
    accept();
}

}  // namespace vorlane::gui
