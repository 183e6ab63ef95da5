#include "ProgressSheet.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "platform/AtomicFileWriter.h"

namespace vorlane::gui {

ProgressSheet::ProgressSheet(QWidget* parent)
    : QDialog(parent),
      title_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      percent_(new QLabel(this)),
      status_(new QLabel(this)),
      log_(new QPlainTextEdit(this)),
      button_(new QPushButton("Cancel", this)) {
    setWindowModality(Qt::WindowModal);
    setObjectName("progressSheet");
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    bar_->setTextVisible(false);
    log_->setReadOnly(true);
    log_->setObjectName("progressLog");
    auto* row = new QHBoxLayout;
    row->addWidget(bar_, 1);
    row->addWidget(percent_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(button_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addLayout(row);
    layout->addWidget(log_, 1);
    layout->addLayout(buttons);
    connect(button_, &QPushButton::clicked, this, &ProgressSheet::cancelOKAction);
}

void ProgressSheet::onMainThread(std::function<void()> work) {
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void ProgressSheet::startWithTitle(const std::string& title) {
    startWithTitle(title, false);
}

void ProgressSheet::startWithTitle(const std::string& title, bool allowsLogging) {
    aborted_ = false;
    running_ = true;
    onMainThread([this, title, allowsLogging] {
        logging_ = allowsLogging;
        setWindowTitle(QString::fromStdString(title));
        title_->setText(QString::fromStdString(title));
        bar_->setRange(0, 0);
        status_->clear();
        percent_->setText(QString::asprintf("%2.2f%%", 0.0));
        percent_->setVisible(allowsLogging);
        log_->clear();
        log_->setVisible(allowsLogging);
        button_->setText("Cancel");
        button_->setEnabled(true);
        if (allowsLogging) {
            setMinimumSize(400, 250);
            setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            resize(600, 400);
        } else {
            setFixedSize(350, 100);
        }
        open();
    });
}

void ProgressSheet::setPercent(double percent) {
    onMainThread([this, percent] {
        if (percent <= 0.0) {
            bar_->setRange(0, 0);
        } else {
            bar_->setRange(0, 10000);
            bar_->setValue(int(std::min(percent, 100.0) * 100.0));
        }
        percent_->setText(QString::asprintf("%2.2f%%", percent));
    });
}

void ProgressSheet::setStatus(const std::string& status) {
    onMainThread([this, status] { status_->setText(QString::fromStdString(status)); });
}

void ProgressSheet::logEntry(const std::string& text) {
    onMainThread([this, text] {
        log_->moveCursor(QTextCursor::End);
        log_->insertPlainText(QString::fromStdString(text));
    });
}

void ProgressSheet::stop() {
    onMainThread([this] {
        status_->clear();
        if (logging_) {
            bar_->setRange(0, 10000);
            bar_->setValue(10000);
            percent_->setText(QString::asprintf("%2.2f%%", 100.0));
            button_->setText("Ok");
        } else {
            done(aborted_ ? -1000 : 1);
        }
        running_ = false;
    });
}

void ProgressSheet::cancelOKAction() {
    if (button_->text() == "Ok") {
        done(1);
        return;
    }
    aborted_ = true;
    status_->setText("cancelling...");
}

QString ProgressSheet::logText() const {
    return log_->toPlainText();
}
QString ProgressSheet::statusText() const {
    return status_->text();
}
QString ProgressSheet::buttonTitle() const {
    return button_->text();
}

bool ProgressSheet::writeLogfileToURL(const std::string& path) const {
    const QByteArray text = logText().toUtf8();
    const auto writer = AtomicFileWriter::create(path);
    return writer &&
           writer->write(
               {reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size())}) &&
           writer->commit();
}

}  // namespace vorlane::gui
