#include "widgets/printing.h"

#include "printing/pdfcomposer.h"
#include "printing/printfonts.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <memory>

namespace quillory::printing {

namespace {

// A job shorter than this shows no dialog.
constexpr int kProgressDelayMs = 500;

Spooler*& installedSpooler() {
    static Spooler* spooler = nullptr;
    return spooler;
}

std::function<void()>& beforeSubmitHook() {
    static std::function<void()> hook;
    return hook;
}

} // namespace

Spooler& spooler() {
    static CupsSpooler cups;
    Spooler* installed = installedSpooler();
    return installed ? *installed : cups;
}

void setSpooler(Spooler* spooler) {
    installedSpooler() = spooler;
}

void setBeforeSubmit(std::function<void()> hook) {
    beforeSubmitHook() = std::move(hook);
}

bool runJob(QWidget* parent, const QString& title, const std::function<void(JobControl&)>& work) {
    JobControl control;
    std::unique_ptr<QThread> thread(QThread::create([&work, &control] { work(control); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer delay;
    delay.setSingleShot(true);
    QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    thread->start();
    delay.start(kProgressDelayMs);
    // The window repaints meanwhile; what the user types or clicks waits for
    // the job's end (or for the dialog, which then takes it).
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!thread->isFinished()) {
        QProgressDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("dlgPrintProgress"));
        dialog.setWindowTitle(QStringLiteral("Print"));
        dialog.setLabelText(QStringLiteral("Printing %1...").arg(title));
        dialog.setRange(0, 0); // busy, with no end known
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setMinimumDuration(0);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        auto* cancel = new QPushButton(QStringLiteral("&Cancel"), &dialog);
        cancel->setObjectName(QStringLiteral("cmdCancelPrint"));
        dialog.setCancelButton(cancel);
        QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&control, &dialog, cancel] {
            control.cancel();
            dialog.setLabelText(QStringLiteral("Cancelling..."));
            cancel->setEnabled(false);
        });
        dialog.show();
        if (!thread->isFinished())
            loop.exec();
        dialog.hide();
    }
    thread->wait();
    return !control.cancelled();
}

JobResult submitJob(const Destination& destination, const QString& title, const QByteArray& pdf,
                    const JobControl& control) {
    JobResult result;
    if (beforeSubmitHook())
        beforeSubmitHook()();
    if (control.cancelled()) {
        result.cancelled = true;
        return result;
    }
    Spooler& target = spooler();
    result.jobId = target.submit(destination, title, pdf, &result.error);
    if (result.jobId > 0 && control.cancelled()) {
        target.withdraw(destination, result.jobId);
        result.cancelled = true;
    }
    return result;
}

JobResult composeAndSubmit(const Destination& destination, const PrintedDocument& document,
                           PrintFonts& fonts, const JobControl& control) {
    JobResult result;
    const QByteArray pdf = composePdf(document, fonts, &result.error, &control.cancelFlag());
    if (control.cancelled()) {
        result.cancelled = true;
        return result;
    }
    if (result.error.isError())
        return result;
    return submitJob(destination, document.title, pdf, control);
}

} // namespace quillory::printing
