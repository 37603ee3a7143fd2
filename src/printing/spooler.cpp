#include "printing/spooler.h"

#include "core/formats.h"
#include "printing/pdfcomposer.h"

#include <QFile>
#include <QLocale>

#include <cups/cups.h>

#include <algorithm>

namespace quillory::printing {

namespace {

constexpr double kDefaultMargin = 0.25;
constexpr int kConnectTimeoutMs = 5000;
// CUPS gives sizes in hundredths of a millimetre.
constexpr double kCupsUnitsPerInch = 2540.0;

// What the queue's keeper wrote about its state ("Paused for a paper jam"),
// if anything.
QString stateMessage(const QByteArray& queue) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.constData());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-state-message");
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    QString message;
    if (ipp_attribute_t* found = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
        message = QString::fromUtf8(ippGetString(found, 0, nullptr)).trimmed();
    ippDelete(response);
    return message;
}

// The spooler's own words for its last failure, with the status's name, and
// for a queue that refuses jobs what its keeper wrote about it.
Error spoolerError(const QString& what, const QByteArray& queue = {}) {
    const ipp_status_t status = cupsLastError();
    const QString reason = QString::fromUtf8(cupsLastErrorString());
    const QString name = QString::fromUtf8(ippErrorString(status));
    QString text = what + reason;
    if (status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS && !queue.isEmpty()) {
        QString message = stateMessage(queue);
        if (!message.isEmpty()) {
            if (!message.endsWith(u'.'))
                message += u'.';
            text += u' ' + message;
        }
    }
    if (!name.isEmpty() && reason != name)
        text += QStringLiteral(" (") + name + u')';
    return printerError(text);
}

// The sheet of the queue's default media, with its margins but never less
// than the program's own.
std::optional<PageSetup> queuePage(cups_dest_t* dest) {
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info)
        return std::nullopt;
    cups_size_t size{};
    const bool known =
        cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, CUPS_MEDIA_FLAGS_DEFAULT, &size);
    cupsFreeDestInfo(info);
    if (!known || size.width <= 0 || size.length <= 0)
        return std::nullopt;
    PageSetup page;
    page.paper = QSizeF(size.width / kCupsUnitsPerInch, size.length / kCupsUnitsPerInch);
    const auto margin = [](int units) {
        return std::max(kDefaultMargin, units / kCupsUnitsPerInch);
    };
    page.margins =
        QMarginsF(margin(size.left), margin(size.top), margin(size.right), margin(size.bottom));
    if (page.printable().width() < 1 || page.printable().height() < 1)
        return std::nullopt;
    return page;
}

} // namespace

PageSetup localePageSetup() {
    PageSetup page;
    const QLocale locale(formats::localeName());
    static const QList<QLocale::Territory> letter = {
        QLocale::UnitedStates, QLocale::Canada,           QLocale::Mexico,    QLocale::Chile,
        QLocale::Colombia,     QLocale::CostaRica,        QLocale::Guatemala, QLocale::Philippines,
        QLocale::PuertoRico,   QLocale::Venezuela,        QLocale::Panama,    QLocale::ElSalvador,
        QLocale::Nicaragua,    QLocale::DominicanRepublic};
    page.paper = letter.contains(locale.territory()) ? QSizeF(8.5, 11.0) : QSizeF(8.27, 11.69);
    page.margins = QMarginsF(kDefaultMargin, kDefaultMargin, kDefaultMargin, kDefaultMargin);
    return page;
}

// --- CupsSpooler -----------------------------------------------------------------

std::optional<Destination> CupsSpooler::destination(Error* error) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest) {
        const Error none = spoolerError(QStringLiteral("no default printer is set up: "));
        // libcups says "no default" also when it could not ask the scheduler.
        http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                    1, kConnectTimeoutMs, nullptr);
        if (error)
            *error = http ? none
                          : printerError(QStringLiteral("the print service (CUPS at %1) cannot be "
                                                        "reached: %2")
                                             .arg(QString::fromUtf8(cupsServer()),
                                                  QString::fromUtf8(cupsLastErrorString())));
        if (http)
            httpClose(http);
        return std::nullopt;
    }
    Destination destination;
    destination.name = QString::fromUtf8(dest->name);
    destination.page = queuePage(dest).value_or(localePageSetup());
    cupsFreeDests(1, dest);
    return destination;
}

int CupsSpooler::submit(const Destination& destination, const QString& title, const QByteArray& pdf,
                        Error* error) {
    const QByteArray name = destination.name.toUtf8();
    const QByteArray jobTitle = title.toUtf8();
    const int job =
        cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), jobTitle.constData(), 0, nullptr);
    if (job <= 0) {
        if (error)
            *error = spoolerError(QString(), name);
        return 0;
    }
    bool sent = cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job, jobTitle.constData(),
                                  CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE;
    constexpr qsizetype kChunk = 256 * 1024;
    for (qsizetype at = 0; sent && at < pdf.size(); at += kChunk) {
        const size_t length = static_cast<size_t>(std::min(kChunk, pdf.size() - at));
        sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData() + at, length) ==
               HTTP_STATUS_CONTINUE;
    }
    // The document's end also reads the spooler's answer to it.
    const bool accepted = cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) == IPP_STATUS_OK;
    if (sent && accepted)
        return job;
    const Error failure = spoolerError(QString());
    // A job that did not arrive whole must not print half.
    cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 1);
    if (error)
        *error = failure;
    return 0;
}

void CupsSpooler::withdraw(const Destination& destination, int jobId) {
    // Purged: cancelled and removed from the queue's history as well.
    cupsCancelJob2(CUPS_HTTP_DEFAULT, destination.name.toUtf8().constData(), jobId, 1);
}

// --- PdfFileSpooler --------------------------------------------------------------

PdfFileSpooler::PdfFileSpooler(QString path, PageSetup page)
    : m_path(std::move(path)), m_page(page) {}

std::optional<Destination> PdfFileSpooler::destination(Error*) {
    return Destination{m_path, m_page};
}

int PdfFileSpooler::submit(const Destination&, const QString&, const QByteArray& pdf,
                           Error* error) {
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.flush()) {
        if (error)
            *error = printerError(
                QStringLiteral("cannot write \"%1\": %2").arg(m_path, file.errorString()));
        return 0;
    }
    return ++m_jobs;
}

void PdfFileSpooler::withdraw(const Destination&, int) {
    QFile::remove(m_path);
}

} // namespace quillory::printing
