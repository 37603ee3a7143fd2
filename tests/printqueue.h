#pragma once

// The private CUPS scheduler of the test run (scripts/cups-test-server.sh,
// started by CTest around the tests that print): which queue jobs go to,
// the jobs it holds, and the PDF each printed job left.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

#include <cups/cups.h>

#include <algorithm>

namespace quillory::test {

struct QueuedJob {
    int id = 0;
    QString title;
    QString queue;
};

class PrintQueues {
public:
    static constexpr const char* kPdf = "quillory-pdf";
    static constexpr const char* kRefusing = "quillory-reject";

    // The scheduler's folder. A run without one fails: printing is tested
    // against the real spooler or not at all.
    static QString dir() {
        const QString dir = qEnvironmentVariable("QUILLORY_TEST_CUPS");
        if (dir.isEmpty() || !QFile::exists(dir + QStringLiteral("/cups.sock")))
            qFatal("No private CUPS scheduler: run this test through ctest, which starts one "
                   "(scripts/cups-test-server.sh), or set QUILLORY_TEST_CUPS and CUPS_SERVER.");
        return dir;
    }

    // Jobs go to this queue from now on, as the user's PRINTER setting
    // sends them; restored when the object goes.
    explicit PrintQueues(const char* queue = kPdf) {
        dir();
        use(queue);
        m_before = lastJobId();
    }
    ~PrintQueues() { qunsetenv("PRINTER"); }

    // An empty name leaves the choice to the scheduler.
    static void use(const char* queue) {
        if (*queue)
            qputenv("PRINTER", queue);
        else
            qunsetenv("PRINTER");
    }

    // Every job the scheduler holds or held, oldest first.
    static QList<QueuedJob> jobs() {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
        QList<QueuedJob> out;
        for (int i = 0; i < count; ++i)
            out.append(
                {jobs[i].id, QString::fromUtf8(jobs[i].title), QString::fromUtf8(jobs[i].dest)});
        cupsFreeJobs(count, jobs);
        std::sort(out.begin(), out.end(),
                  [](const QueuedJob& a, const QueuedJob& b) { return a.id < b.id; });
        return out;
    }
    static int lastJobId() {
        const QList<QueuedJob> all = jobs();
        return all.isEmpty() ? 0 : all.constLast().id;
    }

    // The jobs that came since this object was made.
    QList<QueuedJob> newJobs() const {
        QList<QueuedJob> out;
        for (const QueuedJob& job : jobs())
            if (job.id > m_before)
                out.append(job);
        return out;
    }

    // The PDF a job of the PDF queue left, once the queue has written it
    // whole (its backend renames the finished file into place).
    static QString waitForPdf(const QueuedJob& job) {
        QString title = job.title;
        for (QChar& c : title)
            if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u' ' && c != u'.' &&
                c != u'_' && c != u'-')
                c = u'_';
        const QString path = QStringLiteral("%1/out/%2-%3.pdf").arg(dir()).arg(job.id).arg(title);
        [&path] { QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 30000); }();
        return path;
    }

private:
    int m_before = 0;
};

} // namespace quillory::test
