#pragma once

#include "errors/prompt.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

// What the fuzz targets share: a check that ends the run with a message when
// a rule does not hold (libFuzzer then keeps the input that broke it), a
// reader over the fuzzer's bytes, and a prompt that answers every box
// silently and counts them.
namespace quillory::fuzz {

// Prints what did not hold, with the detail, and aborts.
[[noreturn]] void fail(const char* rule, const QString& detail);

// Checks a rule; `detail` is only built when the rule fails.
#define FUZZ_CHECK(rule, detail)                                                                   \
    do {                                                                                           \
        if (!(rule))                                                                               \
            ::quillory::fuzz::fail(#rule, (detail));                                               \
    } while (false)

// Takes the fuzzer's bytes from the front: single bytes for choices, then
// the rest as text or raw bytes.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    // The next byte, or 0 once the input is used up.
    std::uint8_t byte();
    // The next eight bytes as an integer (zeros past the end).
    std::uint64_t word();
    // The next `count` bytes, or as many as are left.
    QByteArray take(std::size_t count);
    QByteArray rest();
    // The rest read as UTF-8 when `utf16` is false (invalid sequences become
    // replacement characters), else as raw UTF-16 units, lone surrogates
    // included.
    QString restAsText(bool utf16);
    // Bytes read as raw UTF-16 units, big-endian, lone surrogates included.
    static QString asUtf16(const QByteArray& bytes);

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

// Answers every box with its first button (OK or Yes) and every input or
// file dialog with Cancel, and counts them.
class SilentPrompt : public Prompt {
public:
    SilentPrompt() { Prompt::install(this); }
    ~SilentPrompt() override { Prompt::install(nullptr); }
    SilentPrompt(const SilentPrompt&) = delete;
    SilentPrompt& operator=(const SilentPrompt&) = delete;

    int shown = 0;
    QString lastText;

    Answer message(const QString& text, Buttons buttons, Icon, const QString&) override {
        ++shown;
        lastText = text;
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Ok : Yes;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&,
                                 bool) override {
        ++shown;
        lastText = prompt;
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString& title, const QString&) override {
        ++shown;
        lastText = title;
        return std::nullopt;
    }
};

// Shows a text for a failure message: quoted, with every character outside
// printable ASCII as \uXXXX.
QString visible(const QString& text);
QString visible(const QByteArray& bytes);

} // namespace quillory::fuzz

namespace quillory::fuzz {

// The slow reference for rounding a plain decimal text to money: digit
// strings compared and incremented by hand, no machine arithmetic until the
// end. Accepts an optional sign, digits, and "." followed by digits (at least
// one digit in all); rounds to four decimals with ties away from zero. Gives
// the count of ten-thousandths, or nothing for any other text or an amount
// outside the 64-bit range.
std::optional<std::int64_t> referenceRoundedUnits(const QString& text);

} // namespace quillory::fuzz
