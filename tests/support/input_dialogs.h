#pragma once

// Answers the text input dialogs a test provokes. While an InputDialogAnswerer
// lives it polls for a modal QInputDialog, records its title and preset text,
// and answers it with the next queued answer: a text is typed and accepted,
// std::nullopt cancels. Message boxes and other modal windows are left alone.

#include <QApplication>
#include <QInputDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

struct SeenInputDialog
{
    QString title;
    QString presetText;
};

class InputDialogAnswerer : public QObject
{
public:
    explicit InputDialogAnswerer(QList<std::optional<QString>> answers = {})
        : answers(std::move(answers))
    {
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, this, &InputDialogAnswerer::answer);
        poll.start();
    }

    int count() const { return seenDialogs.size(); }
    SeenInputDialog last() const
    {
        return seenDialogs.isEmpty() ? SeenInputDialog() : seenDialogs.last();
    }

private:
    void answer()
    {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog == answering || answers.isEmpty())
            return;
        answering = dialog;
        seenDialogs.append({dialog->windowTitle(), dialog->textValue()});
        const std::optional<QString> reply = answers.takeFirst();
        if (reply) {
            dialog->setTextValue(*reply);
            dialog->accept();
        } else {
            dialog->reject();
        }
    }

    QList<std::optional<QString>> answers;
    QTimer poll;
    QList<SeenInputDialog> seenDialogs;
    QPointer<QInputDialog> answering;
};
