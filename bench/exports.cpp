// The Export menu over the whole database: each CSV file written to disk
// (the time, the file's size and how much the resident memory grew while
// the rows went through), and each PDF customer list made in memory (the
// time and the document's size).
#include "benchsupport.h"
#include "data/database.h"
#include "export/csvtables.h"
#include "export/exportpdf.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <functional>
#include <string>

namespace bench {

namespace {

void oneTable(Context& context, const char* name, quillory::csvtables::Table table) {
    const QString path = QFileInfo(context.db.databasePath())
                             .dir()
                             .absoluteFilePath(QStringLiteral("export-%1.csv").arg(name));
    const std::string figureName = "export_" + std::string(name) + "_csv";
    const qint64 memoryBefore = currentMemoryBytes();
    QElapsedTimer timer;
    timer.start();
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         quillory::csvtables::writeTable(table, context.db.cnMain, file) ==
                             quillory::csvtables::Outcome::Written &&
                         file.commit();
    figure(figureName.c_str(), msSince(timer), "ms");
    figure((figureName + "_memory_growth").c_str(),
           mib(std::max<qint64>(0, currentMemoryBytes() - memoryBefore)), "MiB");
    figure((figureName + "_size").c_str(), mib(QFileInfo(path).size()), "MiB");
    if (!written) {
        ++context.failures;
        std::printf("warning: the CSV file %s was not written\n", name);
    }
    QFile::remove(path);
}

void onePdf(Context& context, const char* name,
            const std::function<quillory::exportpdf::Result()>& make) {
    const std::string figureName = "export_" + std::string(name) + "_pdf";
    QElapsedTimer timer;
    timer.start();
    const quillory::exportpdf::Result made = make();
    figure(figureName.c_str(), msSince(timer), "ms");
    figure((figureName + "_size").c_str(), mib(made.pdf.size()), "MiB");
    if (made.outcome != quillory::exportpdf::Result::Ready) {
        ++context.failures;
        std::printf("warning: the PDF %s was not made\n", name);
    }
}

} // namespace

void benchExports(Context& context) {
    using quillory::csvtables::Table;
    oneTable(context, "customers", Table::Customers);
    oneTable(context, "projects", Table::Projects);
    oneTable(context, "invoices", Table::Invoices);
    quillory::Connection& cn = context.db.cnMain;
    onePdf(context, "invoice_totals", [&cn] { return quillory::exportpdf::invoiceTotalsPdf(cn); });
    onePdf(context, "customer_summary",
           [&cn] { return quillory::exportpdf::customerSummaryPdf(cn); });
}

} // namespace bench
