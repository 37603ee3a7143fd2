#include "widgets/printing.h"

#include "printing/pdfcomposer.h"
#include "printing/printfonts.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
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

std::function<void()>& atJobStartHook() {
    static std::function<void()> hook;
    return hook;
}

// The progress of a job: a busy bar and Cancel. Cancel, Escape and the
// window's close button all ask the job to stop and leave the dialog up,
// saying so, until the job has ended; only end() puts it away.
class ProgressDialog : public QDialog {
public:
    ProgressDialog(QWidget* parent, const JobWording& wording, JobControl& control)
        : QDialog(parent), m_control(control) {
        setObjectName(QStringLiteral("dlgPrintProgress"));
        setWindowTitle(wording.caption);
        setWindowModality(Qt::ApplicationModal);
        m_label = new QLabel(wording.text, this);
        m_label->setObjectName(QStringLiteral("lblPrintProgress"));
        auto* bar = new QProgressBar(this);
        bar->setRange(0, 0); // busy, with no end known
        bar->setTextVisible(false);
        m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
        m_cancel->setObjectName(QStringLiteral("cmdCancelPrint"));
        connect(m_cancel, &QPushButton::clicked, this, &ProgressDialog::cancelJob);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(m_cancel);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_label);
        layout->addWidget(bar);
        layout->addLayout(buttons);
    }

    void end() {
        m_ended = true;
        hide();
    }

    // Escape.
    void reject() override { cancelJob(); }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_ended) {
            QDialog::closeEvent(event);
            return;
        }
        cancelJob();
        event->ignore();
    }

private:
    void cancelJob() {
        m_control.cancel();
        m_label->setText(QStringLiteral("Cancelling..."));
        m_cancel->setEnabled(false);
    }

    JobControl& m_control;
    QLabel* m_label = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_ended = false;
};

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

void setAtJobStart(std::function<void()> hook) {
    atJobStartHook() = std::move(hook);
}

JobWording printWording(const QString& title) {
    return {QStringLiteral("Print"), QStringLiteral("Printing %1...").arg(title)};
}

bool runJob(QWidget* parent, const JobWording& wording,
            const std::function<void(JobControl&)>& work) {
    JobControl control;
    std::unique_ptr<QThread> thread(QThread::create([&work, &control] {
        if (atJobStartHook())
            atJobStartHook()();
        work(control);
    }));
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
        // Modal until the job has ended, whatever the user presses.
        ProgressDialog dialog(parent, wording, control);
        dialog.show();
        if (!thread->isFinished())
            loop.exec();
        dialog.end();
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
