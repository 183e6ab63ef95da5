#include "SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/SettingsPanelController.h"
#include "app/SettingsTable.h"
#include "app/UpdateCheck.h"
#include "platform/DefaultsKeys.h"

namespace vorlane::gui {

namespace {

// What the sheet calls each setting.
const char* titleOfKey(const std::string& key) {
    static const std::map<std::string, const char*> kTitles = {
        {DefaultsKey::mxfAudioOptions, "MXF audio tracks"},
        {DefaultsKey::mxfImporter, "MXF importer"},
        {DefaultsKey::metadataHandling, "Metadata processing"},
        {DefaultsKey::clipNaming, "Synchronized clip naming"},
        {DefaultsKey::muteAudioTimecode, "Mute audio timecode"},
        {DefaultsKey::readAudioTcOnImport, "Read audio timecode on import"},
        {DefaultsKey::fileSuffixes, "Add sync-info suffixes"},
        {DefaultsKey::linearTimelineMode, "Linear Timeline mode"},
        {DefaultsKey::automaticallyApplyAVShift, "Apply AV shift presets automatically"},
        {DefaultsKey::automaticallySetSyncGroups, "Set sync groups automatically"},
        {DefaultsKey::involveFileDate, "Use File Creation Date to separate footage"},
        {DefaultsKey::fcpxSubRolePrefix, "FCPX audio sub-role prefix"},
        {DefaultsKey::audioSyncWithoutTimecode, "Place files without timecode by their sound"},
    };
    const auto found = kTitles.find(key);
    return found != kTitles.end() ? found->second : key.c_str();
}

}  // namespace

SettingsDialog::SettingsDialog(UserDefaults& defaults, QWidget* parent)
    : QDialog(parent), defaults_(defaults) {
    setWindowTitle("Settings");
    setObjectName("settingsDialog");
    setWindowModality(Qt::WindowModal);
    auto* form = new QFormLayout;
    for (const SettingDefinition& definition : settingDefinitions()) {
        if (definition.owner != SettingOwner::Settings) continue;
        const QString title = titleOfKey(definition.key);
        QWidget* control = nullptr;
        if (definition.type == SettingType::Bool) {
            control = new QCheckBox(title, this);
            form->addRow(control);
        } else if (definition.type == SettingType::String) {
            control = new QLineEdit(this);
            form->addRow(title + ":", control);
        } else if (definition.key == DefaultsKey::mxfImporter) {
            auto* menu = new QComboBox(this);
            menu->addItems({"Vorlane", "Platform (FFmpeg)"});
            control = menu;
            form->addRow(title + ":", control);
        } else {
            auto* menu = new QComboBox(this);
            for (const std::string& label : definition.labels) {
                if (label.empty())
                    menu->insertSeparator(menu->count());
                else
                    menu->addItem(QString::fromStdString(label));
            }
            control = menu;
            form->addRow(title + ":", control);
        }
        control->setObjectName(QString::fromStdString(definition.key));
        controls_[definition.key] = control;
    }
    addAnnouncementField(*form);
    auto* codecSupport =
        new QLabel(QString::fromStdString(SettingsPanelController::codecSupportText()), this);
    codecSupport->setObjectName("codecSupport");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(codecSupport);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (saveUserDefaults()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SettingsDialog::addAnnouncementField(QFormLayout& form) {
    announcementURL_ = new QLineEdit(this);
    announcementURL_->setObjectName(DefaultsKey::updateAnnouncementURL);
    announcementURL_->setPlaceholderText("none: updates are not checked");
    form.addRow("Update announcement URL:", announcementURL_);
    announcementProblem_ = new QLabel(UpdateCheck::kAnnouncementURLRule, this);
    announcementProblem_->setObjectName("updateAnnouncementURLProblem");
    announcementProblem_->setWordWrap(true);
    announcementProblem_->hide();
    form.addRow(announcementProblem_);
    connect(announcementURL_, &QLineEdit::textEdited, announcementProblem_, &QWidget::hide);
}

QWidget* SettingsDialog::controlForKey(const std::string& key) const {
    const auto found = controls_.find(key);
    return found != controls_.end() ? found->second : nullptr;
}

void SettingsDialog::showSettings() {
    loadUserDefaults();
    open();
}

void SettingsDialog::loadUserDefaults() {
    for (const auto& [key, control] : controls_) {
        if (auto* box = qobject_cast<QCheckBox*>(control)) {
            box->setChecked(defaults_.boolForKey(key));
        } else if (auto* menu = qobject_cast<QComboBox*>(control)) {
            // The MXF importer menu has two items: 0 and any other value.
            int64_t index = defaults_.integerForKey(key);
            if (key == DefaultsKey::mxfImporter) index = index != 0 ? 1 : 0;
            menu->setCurrentIndex(index >= 0 && index < menu->count() ? int(index) : 0);
        } else if (auto* field = qobject_cast<QLineEdit*>(control)) {
            if (const auto text = defaults_.stringForKey(key))
                field->setText(QString::fromStdString(*text));
        }
    }
    announcementURL_->setText(QString::fromStdString(
        defaults_.stringForKey(DefaultsKey::updateAnnouncementURL).value_or("")));
    announcementProblem_->hide();
}

bool SettingsDialog::saveUserDefaults() {
    const std::string url = announcementURL_->text().trimmed().toStdString();
    if (!UpdateCheck::isAnnouncementURL(url)) {
        announcementProblem_->show();
        announcementURL_->setFocus();
        return false;
    }
    announcementURL_->setText(QString::fromStdString(url));
    defaults_.setString(url, DefaultsKey::updateAnnouncementURL);
    for (const auto& [key, control] : controls_) {
        if (auto* box = qobject_cast<QCheckBox*>(control)) {
            defaults_.setBool(box->isChecked(), key);
        } else if (auto* menu = qobject_cast<QComboBox*>(control)) {
            defaults_.setInteger(menu->currentIndex(), key);
        } else if (auto* field = qobject_cast<QLineEdit*>(control)) {
            std::string text = field->text().toStdString();
            if (key == DefaultsKey::fcpxSubRolePrefix)
                text = SettingsPanelController::subRolePrefixForText(text);
            field->setText(QString::fromStdString(text));
            defaults_.setString(text, key);
        }
    }
    defaults_.synchronize();
    return true;
}

}  // namespace vorlane::gui
