#include "ExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "export/ExportOptionMenus.h"

namespace vorlane::gui {

namespace {

const QStringList kFrameRates = {"23.976", "24", "25",    "29.97",    "29.97 DF",
                                 "30",     "50", "59.94", "59.94 DF", "60"};

void fillFrameRates(QComboBox* menu) {
    menu->addItems(kFrameRates);
}

// The video formats; the items that only repeat their neighbour are separators.
void fillVideoFormats(QComboBox* menu) {
    for (int64_t index = 0; index <= ExportOptionMenus::kCustomVideoFormatIndex; ++index) {
        if (index == 2 || index == 6 || index == 12 || index == 18 || index == 22) {
            menu->insertSeparator(int(index));
            continue;
        }
        if (index == ExportOptionMenus::kCustomVideoFormatIndex) {
            menu->addItem("Custom");
            continue;
        }
        const auto format = ExportOptionMenus::videoFormatAtIndex(index, 0, 0);
        menu->addItem(QString("%1 × %2%3")
                          .arg(int(format.width))
                          .arg(int(format.height))
                          .arg(format.interlaced ? " interlaced" : ""));
    }
}

}  // namespace

ExportDialog::ExportDialog(Kind kind, UserDefaults& defaults, URLValidator& validator,
                           QWidget* parent)
    : QDialog(parent),
      kind_(kind),
      defaults_(defaults),
      validator_(validator),
      options_(new QWidget(this)),
      destination_(new QLineEdit(this)) {
    setWindowTitle(kind == Kind::XML ? "XML Export" : "AAF Export");
    setObjectName(kind == Kind::XML ? "xmlExportDialog" : "aafExportDialog");
    setWindowModality(Qt::WindowModal);
    destination_->setObjectName("exportDestination");
    if (kind == Kind::XML)
        buildXMLView();
    else
        buildAAFView();

    auto* choose = new QPushButton("Choose...", this);
    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(destination_, 1);
    destinationRow->addWidget(choose);
    auto* form = new QFormLayout;
    form->addRow("Save as:", destinationRow);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("Export", QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(options_);
    layout->addWidget(buttons);
    connect(choose, &QPushButton::clicked, this, &ExportDialog::chooseDestination);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ExportDialog::buildXMLView() {
    type_ = new QComboBox(options_);
    type_->addItems({"XML (synced clips as nested sequences)", "XML (synced clips as linked clips)",
                     "FCPXML 1.7", "FCPXML 1.6", "FCPXML 1.5"});
    type_->setObjectName("xmlType");
    frameRate_ = new QComboBox(options_);
    fillFrameRates(frameRate_);
    videoFormat_ = new QComboBox(options_);
    fillVideoFormats(videoFormat_);
    audioFormat_ = new QComboBox(options_);
    audioFormat_->addItems({"32 kHz", "44.1 kHz", "48 kHz", "88.2 kHz", "96 kHz"});
    customWidth_ = new QSpinBox(options_);
    customHeight_ = new QSpinBox(options_);
    customWidth_->setRange(16, 16384);
    customHeight_->setRange(16, 16384);
    syncedClips_ = new QCheckBox("Include synced clips", options_);
    syncedClipsHelp_ = new QPushButton("?", options_);
    syncedClipsHelp_->setFixedWidth(28);
    syncedClipsHelp_->setToolTip(
        "Nested sequences keep every synced clip as a sequence of its own; linked clips write "
        "picture and sound as clip items linked to each other.");
    openInFCP_ = new QCheckBox("Open in Final Cut Pro X", options_);

    auto* custom = new QHBoxLayout;
    custom->addWidget(customWidth_);
    custom->addWidget(customHeight_);
    auto* synced = new QHBoxLayout;
    synced->addWidget(syncedClips_);
    synced->addWidget(syncedClipsHelp_);
    synced->addStretch(1);
    auto* form = new QFormLayout(options_);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow("Format:", type_);
    form->addRow("Frame rate:", frameRate_);
    form->addRow("Video format:", videoFormat_);
    form->addRow("Custom size:", custom);
    form->addRow("Audio:", audioFormat_);
    form->addRow(synced);
    form->addRow(openInFCP_);

    connect(syncedClipsHelp_, &QPushButton::clicked, this, [this] {
        QMessageBox::information(this, "Synced Clips", syncedClipsHelp_->toolTip());
    });
    connect(type_, &QComboBox::activated, this, [this](int index) {
        xmlOptions_.xmlTypeSelect(index);
        refreshXMLView();
    });
    connect(frameRate_, &QComboBox::activated, this,
            [this](int index) { xmlOptions_.setFrameRateIndex(index); });
    connect(videoFormat_, &QComboBox::activated, this, [this](int index) {
        xmlOptions_.videoFormatSelect(index);
        refreshXMLView();
    });
    connect(audioFormat_, &QComboBox::activated, this,
            [this](int index) { xmlOptions_.setAudioFormatIndex(index); });
    const auto customSize = [this] {
        if (refreshing_) return;
        xmlOptions_.setCustomVideoSize(customWidth_->value(), customHeight_->value());
    };
    connect(customWidth_, &QSpinBox::valueChanged, this, customSize);
    connect(customHeight_, &QSpinBox::valueChanged, this, customSize);
    connect(syncedClips_, &QCheckBox::toggled, this,
            [this](bool on) { xmlOptions_.setSyncedClipsChecked(on); });
    connect(openInFCP_, &QCheckBox::toggled, this,
            [this](bool on) { xmlOptions_.setOpenInFCPChecked(on); });
}

void ExportDialog::buildAAFView() {
    type_ = new QComboBox(options_);
    type_->addItems({"Link media in place (AMA)", "Batch import"});
    frameRate_ = new QComboBox(options_);
    fillFrameRates(frameRate_);
    syncedClips_ = new QCheckBox("Include synced clips", options_);
    auto* form = new QFormLayout(options_);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow("Media:", type_);
    form->addRow("Frame rate:", frameRate_);
    form->addRow(syncedClips_);
    connect(type_, &QComboBox::activated, this,
            [this](int index) { aafOptions_.setAafExportTypeIndex(index); });
    connect(frameRate_, &QComboBox::activated, this,
            [this](int index) { aafOptions_.setFrameRateIndex(index); });
    connect(syncedClips_, &QCheckBox::toggled, this,
            [this](bool on) { aafOptions_.setSyncedClipsChecked(on); });
}

void ExportDialog::refreshXMLView() {
    refreshing_ = true;
    type_->setCurrentIndex(int(xmlOptions_.xmlTypeIndex()));
    frameRate_->setCurrentIndex(int(xmlOptions_.frameRateIndex()));
    videoFormat_->setCurrentIndex(int(xmlOptions_.videoFormatIndex()));
    audioFormat_->setCurrentIndex(int(xmlOptions_.audioFormatIndex()));
    customWidth_->setValue(int(xmlOptions_.customVideoWidth()));
    customHeight_->setValue(int(xmlOptions_.customVideoHeight()));
    customWidth_->setEnabled(xmlOptions_.customVideoFieldsEnabled());
    customHeight_->setEnabled(xmlOptions_.customVideoFieldsEnabled());
    syncedClips_->setChecked(xmlOptions_.syncedClipsChecked());
    syncedClipsHelp_->setVisible(xmlOptions_.syncedClipsHelpShown());
    openInFCP_->setChecked(xmlOptions_.openInFCPChecked());
    openInFCP_->setVisible(xmlOptions_.openInFCPShown());
    // The destination follows the kind of document.
    const QString path = destination_->text();
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        destination_->setText(info.dir().filePath(info.completeBaseName() + "." + fileType()));
    }
    refreshing_ = false;
}

void ExportDialog::refreshAAFView() {
    type_->setCurrentIndex(int(aafOptions_.aafExportTypeIndex()));
    frameRate_->setCurrentIndex(int(aafOptions_.frameRateIndex()));
    syncedClips_->setChecked(aafOptions_.syncedClipsChecked());
}

QString ExportDialog::fileType() const {
    return kind_ == Kind::XML ? QString::fromStdString(xmlOptions_.allowedFileType())
                              : QString("aaf");
}

void ExportDialog::showDialog(Confirmed confirmed) {
    confirmed_ = std::move(confirmed);
    if (kind_ == Kind::XML) {
        xmlOptions_.loadUserDefaults(defaults_);
        refreshXMLView();
    } else {
        aafOptions_.loadUserDefaults(defaults_);
        refreshAAFView();
    }
    open();
}

void ExportDialog::setDestination(const QString& path) {
    destination_->setText(path);
}

QString ExportDialog::destination() const {
    return destination_->text();
}

void ExportDialog::chooseDestination() {
    const QString type = fileType();
    const QString path = QFileDialog::getSaveFileName(
        this, windowTitle(), destination_->text(), QString("%1 (*.%2)").arg(type.toUpper(), type));
    if (!path.isEmpty()) setDestination(path);
}

void ExportDialog::accept() {
    QString path = destination_->text().trimmed();
    if (path.isEmpty()) {
        chooseDestination();
        path = destination_->text().trimmed();
        if (path.isEmpty()) return;
    }
    if (QFileInfo(path).suffix().compare(fileType(), Qt::CaseInsensitive) != 0)
        path += "." + fileType();
    destination_->setText(path);
    const std::filesystem::path url = path.toStdString();
    if (!validator_.validateURL(url, false)) return;
    if (kind_ == Kind::XML) {
        xmlOptions_.saveUserDefaults(defaults_);
        xmlOptions_.readSettings();
    } else {
        aafOptions_.saveUserDefaults(defaults_);
        aafOptions_.readSettings();
    }
    defaults_.synchronize();
    QDialog::accept();
    if (confirmed_) confirmed_(url);
}

}  // namespace vorlane::gui
