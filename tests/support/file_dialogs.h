#pragma once

// Answers the file dialogs a test provokes. While a FileDialogAnswerer lives
// it polls for a modal QFileDialog, records its caption, and answers it with
// the next queued answer: a file name is chosen and accepted as the operator
// would, std::nullopt cancels. Other modal windows (such as the dialog's own
// "replace it?" question) are left alone.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

struct SeenFileDialog
{
    QString caption;
};

class FileDialogAnswerer : public QObject
{
public:
    explicit FileDialogAnswerer(QList<std::optional<QString>> answers = {})
        : answers(std::move(answers))
    {
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, this, &FileDialogAnswerer::answer);
        poll.start();
    }

    SeenFileDialog last() const
    {
        return seenDialogs.isEmpty() ? SeenFileDialog() : seenDialogs.last();
    }

private:
    void answer()
    {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (dialog && dialog == answering && dialog->isVisible() && ++pollsSinceAnswer > 200) {
            // The answer was not taken (a directory, an unknown folder):
            // cancel rather than leave the test waiting forever.
            dialog->reject();
            return;
        }
        if (!dialog || !dialog->isVisible() || dialog == answering || answers.isEmpty())
            return;
        pollsSinceAnswer = 0;
        answering = dialog;
        seenDialogs.append({dialog->windowTitle()});
        const std::optional<QString> reply = answers.takeFirst();
        if (reply) {
            dialog->selectFile(*reply);
            // selectFile() leaves the name field alone while it has the
            // focus; the operator would have typed the name into it.
            if (auto *nameField = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                nameField->setText(*reply);
            // QFileDialog's own accept() (protected there) checks the name
            // the way the operator's click would.
            static_cast<QDialog *>(dialog)->accept();
        } else {
            dialog->reject();
        }
    }

    QList<std::optional<QString>> answers;
    QTimer poll;
    QList<SeenFileDialog> seenDialogs;
    QPointer<QFileDialog> answering;
    int pollsSinceAnswer = 0;
};
