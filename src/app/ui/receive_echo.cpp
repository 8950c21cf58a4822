#include "app/ui/receive_echo.h"

#include <QChar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QString>
#include <QTextCursor>

void ReceiveEcho::Append(const std::string& data)
{
    QString text;
    text.reserve(static_cast<qsizetype>(data.size()));
    for (char c : data) {
        if (c == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = c == '\r';
        text += (c == '\r' || c == '\n') ? QChar(QChar::ParagraphSeparator) : QChar::fromLatin1(c);
    }
    // The view follows new text while it shows the end; an operator who has
    // scrolled back to read is left where he is.
    QScrollBar* bar = box_->verticalScrollBar();
    const bool followEnd = bar->value() == bar->maximum();
    QTextCursor cursor(box_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    if (followEnd)
        bar->setValue(bar->maximum());
}
