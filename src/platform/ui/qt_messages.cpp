#include "platform/ui/qt_messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <algorithm>

QtMessageSink::QtMessageSink(std::string caption, BoxRunner runner)
    : caption_(std::move(caption)), runner_(std::move(runner))
{
}

void QtMessageSink::ShowMessage(const std::string& text)
{
    runner_(Box::Plain, caption_, text);
}

void QtMessageSink::ShowError(const std::string& text)
{
    if (errorOpen_) {
        const bool known = text == errorShown_ ||
                           std::find(waiting_.begin(), waiting_.end(), text) != waiting_.end();
        if (!known && waiting_.size() < kMaxWaitingErrors)
            waiting_.push_back(text);
        return;
    }

    struct Reset {
        QtMessageSink& sink;
        ~Reset()
        {
            sink.errorOpen_ = false;
            sink.errorShown_.clear();
        }
    } reset{*this};

    errorOpen_ = true;
    errorShown_ = text;
    for (;;) {
        runner_(Box::Critical, caption_, errorShown_);
        if (waiting_.empty())
            break;
        errorShown_ = std::move(waiting_.front());
        waiting_.pop_front();
    }
}

void QtMessageSink::RunQMessageBox(Box box, const std::string& caption, const std::string& text)
{
    const QString title = QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size()));
    const QString body = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    QMessageBox dialog(box == Box::Plain ? QMessageBox::NoIcon : QMessageBox::Critical, title, body,
                       QMessageBox::Ok, QApplication::activeWindow());
    dialog.exec();
}
