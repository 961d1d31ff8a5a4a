#pragma once

// Answers the message boxes a test provokes. While a MessageBoxWatcher lives
// it polls for a modal QMessageBox (other modal dialogs, such as a modal
// network dialog, are left alone), records what the box showed and closes it
// with its default button, so the code under test carries on. Boxes that
// appear later (after a network reply, a watchdog) are caught the same way:
// wait for them with QTRY_COMPARE(watcher.count(), n).

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QTimer>

#include <functional>

struct SeenMessageBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class MessageBoxWatcher : public QObject
{
public:
    // By default a box is closed with its default button, or its first one.
    using Responder = std::function<void(QMessageBox *)>;

    explicit MessageBoxWatcher(Responder respond = Responder()) : respond(std::move(respond))
    {
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, this, &MessageBoxWatcher::answer);
        poll.start();
    }

    int count() const { return seenBoxes.size(); }
    const QList<SeenMessageBox> &seen() const { return seenBoxes; }
    SeenMessageBox last() const
    {
        return seenBoxes.isEmpty() ? SeenMessageBox() : seenBoxes.last();
    }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == answering)
            return;
        answering = box;
        seenBoxes.append({box->windowTitle(), box->text(), box->icon()});
        if (respond) {
            respond(box);
        } else if (QAbstractButton *button = box->defaultButton()) {
            button->click();
        } else if (!box->buttons().isEmpty()) {
            box->buttons().first()->click();
        } else {
            box->accept();
        }
        answering = nullptr;
    }

    Responder respond;
    QTimer poll;
    QList<SeenMessageBox> seenBoxes;
    QMessageBox *answering = nullptr;
};
