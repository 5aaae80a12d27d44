#pragma once

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace sonaro::fuzz {

// Timers, sockets and QSettings expect an application object, as in the programs.
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "sonaro-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = nullptr;
    if (!app && !QCoreApplication::instance()) app = new QCoreApplication(argc, argv);
}

// Qt's warnings would flood the fuzzer's output at every execution.
inline void quietQt()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(text));
            std::abort();
        }
    });
}

// A copy in a heap block of exactly the input's size, so that AddressSanitizer sees any read
// past its end (std::string keeps spare capacity and a terminating zero).
struct ExactBuffer
{
    ExactBuffer(const std::uint8_t* data, std::size_t size)
        : bytes(new char[size == 0 ? 1 : size]), size(size)
    {
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(data[i]);
    }
    std::unique_ptr<char[]> bytes;
    std::size_t size;
};

// Stops the fuzzer with a message when a property does not hold.
#define SONARO_FUZZ_CHECK(condition)                                                               \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

} // namespace sonaro::fuzz
