#pragma once

#include "errors/error.h"
#include "printing/spooler.h"

#include <QString>

#include <atomic>
#include <functional>

class QWidget;

// How the program prints: a job is laid out, composed as a PDF and handed
// to the spooler on a thread of its own, while the window goes on answering;
// a job that takes longer than half a second shows a progress dialog with
// Cancel. The spooler is CUPS unless another has been set, as the benchmark
// does to print into a file.
namespace quillory::printing {

class PrintFonts;

// The spooler in use.
Spooler& spooler();
// Replaces the spooler (not owned); nullptr goes back to CUPS.
void setSpooler(Spooler* spooler);

// What a job's thread is told: whether the user cancelled.
class JobControl {
public:
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    const std::atomic_bool& cancelFlag() const { return m_cancelled; }
    void cancel() { m_cancelled = true; }

private:
    std::atomic_bool m_cancelled{false};
};

// What a job's progress dialog says: its caption and its text.
struct JobWording {
    QString caption;
    QString text;
};
// A print job's: "Print", "Printing <title>...".
JobWording printWording(const QString& title);

// Runs `work` on a thread of its own and returns when it has ended. Until
// then the window repaints (input waits for the end); after half a second a
// modal progress dialog ("dlgPrintProgress", its text in "lblPrintProgress",
// with Cancel, "cmdCancelPrint") shows over `parent`, worded as `wording`
// says. Cancel, Escape or closing the dialog tells `work` through its
// JobControl; the dialog then says "Cancelling..." and stays, modal, until
// `work` has returned. False when the user cancelled.
bool runJob(QWidget* parent, const JobWording& wording,
            const std::function<void(JobControl&)>& work);

// How a job ended.
struct JobResult {
    bool cancelled = false;
    int jobId = 0;
    Error error;

    bool printed() const { return jobId > 0 && !cancelled && !error.isError(); }
};

// Hands a composed PDF to the spooler as one job titled `title`, on a job's
// thread. A cancel before the hand-over sends nothing; one during it takes
// the job back.
JobResult submitJob(const Destination& destination, const QString& title, const QByteArray& pdf,
                    const JobControl& control);

// Composes `document` into a PDF and submits it as above, titled as the
// document is.
JobResult composeAndSubmit(const Destination& destination, const PrintedDocument& document,
                           PrintFonts& fonts, const JobControl& control);

// For tests: runs on the job's thread just before a job is handed to the
// spooler, so that a test can hold a job there while it presses Cancel.
void setBeforeSubmit(std::function<void()> hook);
// For tests: runs on the job's thread before its work begins.
void setAtJobStart(std::function<void()> hook);

} // namespace quillory::printing
