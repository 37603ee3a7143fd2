#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

// Saving a file the user names: the desktop's own save dialog, then a write
// that leaves either the whole new file or nothing under the chosen name.
namespace quillory::savefile {

enum class Kind { Pdf, Csv };

// Asks where to save with the dialog titled `title`, offering `name` in the
// folder saved to last (at first the user's documents folder). A name
// chosen without the kind's suffix gets it, and when a file of the name so
// made exists, the user is asked before it is replaced. Nothing when the
// user cancelled.
std::optional<QString> choose(const QString& title, Kind kind, const QString& name);

enum class Outcome {
    Saved,
    Failed,    // the file could not be written; told to the user with the reason
    Abandoned, // `fill` gave up: nothing written, nothing said
};
// What `fill` answers: whether it wrote everything (Saved), failed on the
// device (Failed: the device's errorString() says why) or gave up for a
// reason of its own (Abandoned).
using Fill = std::function<Outcome(QIODevice&)>;

// Writes the file at `path`: `fill` writes into a temporary file beside it,
// which takes the name in one rename only when all went well, so that until
// then a file of that name keeps what it held. A failure is told to the user
// in a box titled `title`.
Outcome write(const QString& path, const QString& title, const Fill& fill);
// The same with these bytes for the file.
Outcome write(const QString& path, const QString& title, const QByteArray& bytes);

// choose() and then write() of these bytes.
Outcome saveBytes(const QString& title, Kind kind, const QString& name, const QByteArray& bytes);

} // namespace quillory::savefile
