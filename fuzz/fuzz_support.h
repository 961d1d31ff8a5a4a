#pragma once

// What every fuzz target shares: a check that stops the run on a broken
// property, the input as text, and the record of the slowest input.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Aborts in every build type, so that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline QByteArray fuzzBytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// What an operator types or a store holds: any Unicode text.
inline QString fuzzText(const std::uint8_t *data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// Times one input. The slowest input of the run is written to the file that
// DXU_FUZZ_SLOWEST names (and its time in microseconds to that name plus
// ".us"), each time a slower one turns up: libFuzzer itself reports times
// only in whole seconds, and only for inputs that add to the corpus.
class SlowestInputWatch
{
public:
    SlowestInputWatch(const std::uint8_t *data, std::size_t size)
        : data(data), size(size), start(std::chrono::steady_clock::now())
    {}
    ~SlowestInputWatch()
    {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const long long us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
        if (us <= slowestUs)
            return;
        slowestUs = us;
        static const char *const path = std::getenv("DXU_FUZZ_SLOWEST");
        if (!path)
            return;
        if (std::FILE *f = std::fopen(path, "wb")) {
            std::fwrite(data, 1, size, f);
            std::fclose(f);
        }
        const QByteArray timePath = QByteArray(path) + ".us";
        if (std::FILE *f = std::fopen(timePath.constData(), "w")) {
            std::fprintf(f, "%lld %zu\n", us, size);
            std::fclose(f);
        }
    }
    SlowestInputWatch(const SlowestInputWatch &) = delete;
    SlowestInputWatch &operator=(const SlowestInputWatch &) = delete;

private:
    static inline long long slowestUs = -1;
    const std::uint8_t *data;
    std::size_t size;
    std::chrono::steady_clock::time_point start;
};
