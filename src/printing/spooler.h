#pragma once

#include "errors/error.h"
#include "printing/printeddocument.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillory::printing {

// A print queue and the sheet it prints on.
struct Destination {
    QString name;
    PageSetup page;
};

// The sheet when the queue does not tell its own: Letter where the locale
// uses US paper sizes (the United States, Canada, Mexico, ...), A4 elsewhere;
// a quarter-inch margin all round.
PageSetup localePageSetup();

// Where finished print jobs go. Every job is one PDF file with a title.
class Spooler {
public:
    virtual ~Spooler() = default;
    // The queue a job goes to; nothing, with the reason in `error`, when
    // there is none to go to.
    virtual std::optional<Destination> destination(Error* error) = 0;
    // Hands over one job. Gives the spooler's id for it, or 0 with the
    // spooler's reason in `error`: a refused job is a failure.
    virtual int submit(const Destination& destination, const QString& title, const QByteArray& pdf,
                       Error* error) = 0;
    // Takes back a job handed over (as when the user cancelled while it went
    // over), so that it leaves no trace in the queue.
    virtual void withdraw(const Destination& destination, int jobId) = 0;
};

// The desktop's printing system through libcups: the default queue as CUPS
// finds it (LPDEST or PRINTER, the user's lpoptions, the server's default;
// CUPS_SERVER names the server), a job created with its title, the PDF sent
// as its one document. Safe to use from any thread.
class CupsSpooler : public Spooler {
public:
    std::optional<Destination> destination(Error* error) override;
    int submit(const Destination& destination, const QString& title, const QByteArray& pdf,
               Error* error) override;
    void withdraw(const Destination& destination, int jobId) override;
};

// Writes every job into one PDF file instead of a queue, for the benchmark
// on a machine without a scheduler and for tests that look at the file
// alone. Job ids count from 1.
class PdfFileSpooler : public Spooler {
public:
    explicit PdfFileSpooler(QString path, PageSetup page = localePageSetup());
    std::optional<Destination> destination(Error* error) override;
    int submit(const Destination& destination, const QString& title, const QByteArray& pdf,
               Error* error) override;
    void withdraw(const Destination& destination, int jobId) override;

private:
    QString m_path;
    PageSetup m_page;
    int m_jobs = 0;
};

} // namespace quillory::printing
